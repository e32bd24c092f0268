# Image fixtures drawn by ImageMagick into the build folder; the tests pack them into
# password-protected archives with zip at run time.
find_program(RUV3_CONVERT convert REQUIRED)
set(content_fixtures ${CMAKE_BINARY_DIR}/content_fixtures)
set(content_pngs
  grid.png      "-size 300x200 xc:blue -fill red -draw \"rectangle 0,0 99,99\""
  strip.png     "-size 256x128 xc:lime -fill white -draw \"rectangle 0,0 63,31\""
  small.png     "-size 40x30 xc:yellow"
  mask.png      "-size 40x30 xc:black -fill rgb(128,0,0) -draw \"rectangle 0,0 19,29\""
  other.png     "-size 50x50 xc:white")
set(content_outputs)
list(LENGTH content_pngs n)
math(EXPR last "${n} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET content_pngs ${i} name)
  list(GET content_pngs ${j} args)
  separate_arguments(args UNIX_COMMAND "${args}")
  add_custom_command(OUTPUT ${content_fixtures}/${name}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${content_fixtures}
                     COMMAND ${RUV3_CONVERT} ${args} PNG32:${content_fixtures}/${name}
                     VERBATIM)
  list(APPEND content_outputs ${content_fixtures}/${name})
endforeach()
add_custom_target(content_fixtures DEPENDS ${content_outputs})
add_dependencies(${target} content_fixtures)
target_compile_definitions(${target} PRIVATE RUV3_CONTENT_FIXTURES="${content_fixtures}")
