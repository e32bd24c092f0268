# The areas of the engine and the game, from the bottom up, and the folders each holds. An
# area may include its own headers and those of the areas below it, never those above.
# Inside the shell the same rule holds between its rooms (RUV3_SHELL_ROOMS, bottom up):
# the foundation stands on nothing, the pixels and the renderer on the foundation, the
# operating-system stand-ins on those, the image codecs on the stand-ins, and the rest of
# the shell on all of them.
set(RUV3_AREAS shell content scene sound machines widgets script game)
set(RUV3_AREA_shell_FOLDERS shell shell/foundation shell/pixels shell/render shell/platform shell/codecs)
set(RUV3_AREA_content_FOLDERS content)
set(RUV3_AREA_scene_FOLDERS scene)
set(RUV3_AREA_sound_FOLDERS sound)
set(RUV3_AREA_machines_FOLDERS machines)
set(RUV3_AREA_widgets_FOLDERS widgets)
set(RUV3_AREA_script_FOLDERS script script/bindings)
set(RUV3_AREA_game_FOLDERS game)
set(RUV3_SHELL_ROOMS shell/foundation shell/pixels shell/render shell/platform shell/codecs shell)
