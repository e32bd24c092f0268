# The window test presents into a real SDL window on the shared X server.
set(RUV3_TEST_NEEDS_X11 ON)
