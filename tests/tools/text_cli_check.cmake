# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the command-line tool and checks what it did.
#   CLI       the tool;  ARGS  its arguments, separated by "|"
#   EXIT      the expected exit status
#   OUT_REGEX / ERR_REGEX   patterns that stdout / stderr must match
#   PDF, PDF_PAGES          a PDF file the run must have written, and its page count by pdfinfo
string(REPLACE "|" ";" arguments "${ARGS}")
if(PDF)
  file(REMOVE "${PDF}")
endif()
execute_process(COMMAND "${CLI}" ${arguments}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status STREQUAL "${EXIT}")
  message(FATAL_ERROR "exit status ${status}, expected ${EXIT}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(DEFINED OUT_REGEX AND NOT out MATCHES "${OUT_REGEX}")
  message(FATAL_ERROR "stdout does not match ${OUT_REGEX}:\n${out}")
endif()
if(DEFINED ERR_REGEX AND NOT err MATCHES "${ERR_REGEX}")
  message(FATAL_ERROR "stderr does not match ${ERR_REGEX}:\n${err}")
endif()
if(PDF)
  execute_process(COMMAND pdfinfo "${PDF}" RESULT_VARIABLE status OUTPUT_VARIABLE info ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT info MATCHES "\nPages: +${PDF_PAGES}\n")
    message(FATAL_ERROR "pdfinfo (status ${status}) does not report ${PDF_PAGES} pages:\n${info}${err}")
  endif()
endif()
