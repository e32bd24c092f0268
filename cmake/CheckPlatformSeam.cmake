# Fails when an include breaks the layering:
# - an operating-system or SDL header outside shell/platform/: everything that stands in
#   for the operating system lives there;
# - a header of a higher area (or, inside the shell, of a higher room) than the including
#   file's, by the order of cmake/AreaOrder.cmake.
#   cmake -DSOURCE_DIR=<tree> -P CheckPlatformSeam.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "CheckPlatformSeam: set SOURCE_DIR")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/AreaOrder.cmake)

# POSIX and Linux system headers, X11 and SDL (the C++ standard headers are fine anywhere).
set(system_header_regex
  "^(unistd|fcntl|dirent|pthread|dlfcn|poll|spawn|pwd|grp|termios|glob|fnmatch|libgen|semaphore|sched|syslog|utime|netdb|signal|ucontext|execinfo|link|elf|mqueue|aio|ifaddrs|wordexp)\\.h$|^(sys|netinet|arpa|linux|asm|bits|X11|SDL2)/|^SDL[A-Za-z0-9_]*\\.h$")

# Every folder's place, bottom up: the shell's rooms first, then the areas above the shell.
set(rooms ${RUV3_SHELL_ROOMS})
foreach(area IN LISTS RUV3_AREAS)
  if(NOT area STREQUAL "shell")
    string(REPLACE ";" "|" area_folders "${RUV3_AREA_${area}_FOLDERS}")
    list(APPEND rooms "${area_folders}")
  endif()
endforeach()
set(rank 0)
foreach(room IN LISTS rooms)
  string(REPLACE "|" ";" room_folders "${room}")
  foreach(folder IN LISTS room_folders)
    set(rank_of_${folder} ${rank})
  endforeach()
  math(EXPR rank "${rank} + 1")
endforeach()

set(offences "")
set(order_offences "")
set(folders)
foreach(area IN LISTS RUV3_AREAS)
  list(APPEND folders ${RUV3_AREA_${area}_FOLDERS})
endforeach()
foreach(folder IN LISTS folders)
  if(NOT IS_DIRECTORY ${SOURCE_DIR}/${folder})
    continue()
  endif()
  file(GLOB files RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/${folder}/*.cpp ${SOURCE_DIR}/${folder}/*.cc ${SOURCE_DIR}/${folder}/*.h
       ${SOURCE_DIR}/${folder}/*.hpp ${SOURCE_DIR}/${folder}/*.inl)
  foreach(file IN LISTS files)
    file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1" header "${line}")
      if(NOT folder STREQUAL "shell/platform" AND header MATCHES "${system_header_regex}")
        string(APPEND offences "  ${file}: #include <${header}>\n")
      endif()
      # A quoted include is looked for first beside the including file, so "../game/X.h"
      # or "platform/X.h" name a header by its place from there; everything else is
      # named from the top of the tree.
      get_filename_component(file_folder "${SOURCE_DIR}/${file}" DIRECTORY)
      if(line MATCHES "include[ \t]*\"" AND (header MATCHES "^\\.\\.?/" OR EXISTS "${file_folder}/${header}"))
        get_filename_component(header_path "${header}" ABSOLUTE BASE_DIR "${file_folder}")
      else()
        get_filename_component(header_path "${header}" ABSOLUTE BASE_DIR "${SOURCE_DIR}")
      endif()
      file(RELATIVE_PATH header_path "${SOURCE_DIR}" "${header_path}")
      get_filename_component(header_folder "${header_path}" DIRECTORY)
      if(DEFINED rank_of_${header_folder} AND rank_of_${header_folder} GREATER rank_of_${folder})
        string(APPEND order_offences "  ${file}: #include \"${header}\" (${header_folder} is above ${folder})\n")
      endif()
    endforeach()
  endforeach()
endforeach()

set(report "")
if(offences)
  string(APPEND report "System headers outside shell/platform/ (put the call behind a "
                       "function in shell/platform/):\n${offences}")
endif()
if(order_offences)
  string(APPEND report "Includes of a higher area (the order is cmake/AreaOrder.cmake's: move the code "
                       "down, or the include up):\n${order_offences}")
endif()
if(report)
  message(FATAL_ERROR "${report}")
endif()
message(STATUS "No system headers outside shell/platform/, no include against the area order")
