# Renders one drawing to PNG at build time: the drawing's placeholder colour (#003250) is replaced
# by COLOUR (unless COLOUR is empty), then rsvg-convert draws it at WIDTH x HEIGHT.
# Arguments: -DRSVG= -DSVG= -DCOLOUR= -DWIDTH= -DHEIGHT= -DPNG=
file(READ "${SVG}" drawing)
if(COLOUR)
    string(REPLACE "#003250" "${COLOUR}" drawing "${drawing}")
endif()
set(coloured "${PNG}.svg")
file(WRITE "${coloured}" "${drawing}")
execute_process(COMMAND "${RSVG}" -w ${WIDTH} -h ${HEIGHT} -o "${PNG}" "${coloured}"
                RESULT_VARIABLE result ERROR_VARIABLE error)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "rsvg-convert could not draw ${SVG}: ${error}")
endif()
