# Renders one manual page as plain text for a device without man:
# cmake -DGROFF=PATH -DPAGE=doc/NAME.1 -DOUT=NAME.txt -P manual-text.cmake
# ASCII for an 80-column terminal (lines a page does not fill, such as a
# long command in an example, stay whole), with tables (-t), without the
# overstrikes or escape sequences that bold and underline would be (-P-cbou)
# and without words hyphenated across lines (-rHY=0), so that a name or an
# option can be searched for in the text.
execute_process(COMMAND "${GROFF}" -man -t -Tascii -P-cbou -rHY=0 "${PAGE}"
                OUTPUT_FILE "${OUT}" ERROR_VARIABLE said RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT said STREQUAL "")
  file(REMOVE "${OUT}")
  message(FATAL_ERROR "groff could not render ${PAGE} (status ${status}): ${said}")
endif()
