# The text and print subcommands: the viewer's load and print job from the command line.
set(text_data ${PROJECT_SOURCE_DIR}/tests/viewers/data/text)

function(text_cli_test name)
  cmake_parse_arguments(T "" "EXIT;OUT_REGEX;ERR_REGEX;PDF;PDF_PAGES" "ARGS" ${ARGN})
  list(JOIN T_ARGS "|" joined)
  set(defines -DCLI=$<TARGET_FILE:iradudo-cli> "-DARGS=${joined}" -DEXIT=${T_EXIT})
  foreach(option OUT_REGEX ERR_REGEX PDF PDF_PAGES)
    if(DEFINED T_${option})
      list(APPEND defines "-D${option}=${T_${option}}")
    endif()
  endforeach()
  add_test(NAME cli_${name} COMMAND ${CMAKE_COMMAND} ${defines} -P ${CMAKE_CURRENT_LIST_DIR}/text_cli_check.cmake)
  set_tests_properties(cli_${name} PROPERTIES LABELS core ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

text_cli_test(text_rich_as_plain_text ARGS text ${text_data}/pandoc.rtf EXIT 0
  OUT_REGEX "^Titolo del disco\nCaffè in grassetto e in corsivo, con un collegamento\\.\nProgramma\tDimensione\nUno\t12345\nDue\t678\n")
text_cli_test(text_rich_as_html ARGS text ${text_data}/wordpad.rtf --html EXIT 0
  OUT_REGEX "font-weight:700;\">Grassetto<.*color:#ff0000;\">rosso<.*<p align=\"center\"[^>]*><span[^>]*>Titolo centrato")
text_cli_test(text_plain_file ARGS text ${text_data}/pandoc.md EXIT 0
  OUT_REGEX "^# Titolo del disco\n\nCaffè \\*\\*in grassetto\\*\\*")
text_cli_test(text_missing_file ARGS text missing.txt EXIT 1 ERR_REGEX "Cannot open file missing\\.txt\n")
text_cli_test(text_directory ARGS text ${text_data} EXIT 1 ERR_REGEX "Cannot open file ${text_data}\n")
text_cli_test(text_unreadable_after_open ARGS text /proc/self/mem EXIT 1 ERR_REGEX "Failed to Load Stream\n")
text_cli_test(text_usage ARGS text EXIT 2 ERR_REGEX "usage: text FILE")

text_cli_test(print_rich_to_pdf ARGS print ${text_data}/wordpad.rtf --pdf ${CMAKE_CURRENT_BINARY_DIR}/cli_print_rich.pdf
  EXIT 0 OUT_REGEX "^1 page\n" PDF ${CMAKE_CURRENT_BINARY_DIR}/cli_print_rich.pdf PDF_PAGES 1)
text_cli_test(print_missing_file ARGS print missing.rtf --pdf ${CMAKE_CURRENT_BINARY_DIR}/cli_print_missing.pdf
  EXIT 1 ERR_REGEX "Cannot open file missing\\.rtf\n")
text_cli_test(print_unwritable_pdf ARGS print ${text_data}/wordpad.rtf --pdf ${CMAKE_CURRENT_BINARY_DIR}/no/such/dir.pdf
  EXIT 1 ERR_REGEX "Cannot start the print job\n")
text_cli_test(print_usage ARGS print ${text_data}/wordpad.rtf EXIT 2 ERR_REGEX "usage: print FILE --pdf OUT")
