# Fails when an operating-system or SDL header is included outside shell/platform/:
# everything that stands in for the operating system lives there.
#   cmake -DSOURCE_DIR=<tree> -P CheckPlatformSeam.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "CheckPlatformSeam: set SOURCE_DIR")
endif()
set(areas shell scene content sound script game)

# POSIX and Linux system headers, X11 and SDL (the C++ standard headers are fine anywhere).
set(system_header_regex
  "^(unistd|fcntl|dirent|pthread|dlfcn|poll|spawn|pwd|grp|termios|glob|fnmatch|libgen|semaphore|sched|syslog|utime|netdb|signal|ucontext|execinfo|link|elf|mqueue|aio|ifaddrs|wordexp)\\.h$|^(sys|netinet|arpa|linux|asm|bits|X11|SDL2)/|^SDL[A-Za-z0-9_]*\\.h$")

set(offences "")
foreach(area IN LISTS areas)
  if(NOT IS_DIRECTORY ${SOURCE_DIR}/${area})
    continue()
  endif()
  file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/${area}/*.cpp ${SOURCE_DIR}/${area}/*.cc ${SOURCE_DIR}/${area}/*.h
       ${SOURCE_DIR}/${area}/*.hpp ${SOURCE_DIR}/${area}/*.inl)
  foreach(file IN LISTS files)
    if(file MATCHES "^shell/platform/")
      continue()
    endif()
    file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1" header "${line}")
      if(header MATCHES "${system_header_regex}")
        string(APPEND offences "  ${file}: #include <${header}>\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(offences)
  message(FATAL_ERROR "System headers outside shell/platform/ (put the call behind a "
                      "function in shell/platform/):\n${offences}")
endif()
message(STATUS "No system headers outside shell/platform/")
