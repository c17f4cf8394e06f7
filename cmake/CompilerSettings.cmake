# SPDX-License-Identifier: GPL-3.0-or-later
add_compile_options(-Wall -Wextra)
if(IRADUDO_WERROR)
  add_compile_options(-Werror)
endif()
if(IRADUDO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  # Lets code that would hide the standard error keep the sanitizers' reports.
  add_compile_definitions(IRADUDO_SANITIZED=1)
endif()

# Every folder includes from src/, so headers read "platform/drive_table.h".
set(IRADUDO_SOURCE_ROOT ${PROJECT_SOURCE_DIR}/src)

# Fails the configuration when one of TARGETS links, directly or through the
# libraries it links, a library whose name starts with one of FORBIDDEN.
function(iradudo_forbid_links)
  cmake_parse_arguments(F "" "" "FORBIDDEN;TARGETS" ${ARGN})
  foreach(target IN LISTS F_TARGETS)
    set(seen "")
    set(queue ${target})
    while(queue)
      list(POP_FRONT queue current)
      if(current IN_LIST seen OR NOT TARGET ${current})
        continue()
      endif()
      list(APPEND seen ${current})
      get_target_property(links ${current} INTERFACE_LINK_LIBRARIES)
      get_target_property(type ${current} TYPE)
      if(NOT type STREQUAL "INTERFACE_LIBRARY")
        get_target_property(private_links ${current} LINK_LIBRARIES)
        list(APPEND links ${private_links})
      endif()
      foreach(link IN LISTS links)
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
        foreach(forbidden IN LISTS F_FORBIDDEN)
          string(FIND "${link}" "${forbidden}" at)
          if(at EQUAL 0)
            message(FATAL_ERROR "${target} must not link ${link} (through ${current})")
          endif()
        endforeach()
        list(APPEND queue ${link})
      endforeach()
    endwhile()
  endforeach()
endfunction()

# A GoogleTest executable run through CTest. LABEL "core" marks tests that the
# sanitizer build also runs; "gui" tests need the window program's widgets.
function(iradudo_add_gtest name)
  cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    IRADUDO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    IRADUDO_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(NOT T_LABEL)
    set(T_LABEL core)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS ${T_LABEL} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# A fuzz target: SOURCES define LLVMFuzzerTestOneInput. With IRADUDO_FUZZ (clang,
# scripts/fuzz.sh) it links libFuzzer; otherwise a small main replays files, and
# the test fuzz_NAME replays every file kept under REGRESS, so the sanitizer
# build checks each past find on every run.
option(IRADUDO_FUZZ "Build the fuzz targets with libFuzzer (clang only)" OFF)
if(IRADUDO_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
function(iradudo_add_fuzz_target name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS;REGRESS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  if(IRADUDO_FUZZ)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fuzz)
    string(REPLACE ";" "\n" seeds "${F_REGRESS}")
    file(WRITE ${PROJECT_BINARY_DIR}/fuzz/${name}.seeds "${seeds}\n")
  else()
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/fuzz_replay_main.cpp)
    add_test(NAME ${name} COMMAND ${name} ${F_REGRESS})
    set_tests_properties(${name} PROPERTIES LABELS core ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

# Fails the configuration when a source file under SEARCHED, outside the folders
# ALLOWED_UNDER, includes a header of PRIVATE_ROOM ("platform/drives"): a room
# whose headers only its owner may see.
function(iradudo_forbid_includes)
  cmake_parse_arguments(F "" "PRIVATE_ROOM" "ALLOWED_UNDER;SEARCHED" ${ARGN})
  set(sources "")
  foreach(folder IN LISTS F_SEARCHED)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${folder}/*.h ${folder}/*.cpp ${folder}/*.c)
    list(APPEND sources ${found})
  endforeach()
  foreach(source IN LISTS sources)
    set(allowed FALSE)
    foreach(folder IN LISTS F_ALLOWED_UNDER)
      cmake_path(IS_PREFIX folder "${source}" NORMALIZE inside)
      if(inside)
        set(allowed TRUE)
      endif()
    endforeach()
    if(allowed)
      continue()
    endif()
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]${F_PRIVATE_ROOM}/")
    if(includes)
      message(FATAL_ERROR "${source} includes a header of ${F_PRIVATE_ROOM}/, which only its own folder may use")
    endif()
  endforeach()
endfunction()
