add_compile_options(-Wall -Wextra)
if(IRADUDO_WERROR)
  add_compile_options(-Werror)
endif()
if(IRADUDO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Every folder includes from src/, so headers read "platform/drive_table.h".
set(IRADUDO_SOURCE_ROOT ${PROJECT_SOURCE_DIR}/src)

# Folders own their file lists; a folder that has no CMake file yet is skipped.
function(iradudo_add_folders)
  foreach(folder IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/CMakeLists.txt)
      add_subdirectory(${folder})
    endif()
  endforeach()
endfunction()

# Includes the optional pieces NAME.cmake of a folder shared by several groups of work.
function(iradudo_include_pieces)
  foreach(piece IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${piece}.cmake)
      include(${CMAKE_CURRENT_SOURCE_DIR}/${piece}.cmake)
    endif()
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
