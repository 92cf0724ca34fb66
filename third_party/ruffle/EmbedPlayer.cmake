# Prepares what a one-page publication embeds of the SWF player (FROM: its npm package) in the
# program's data folder (TO): the code chunk and the wasm that every current browser loads, the
# wasm gzipped once here so that publishing does not compress 14 MB every time.
#
# The names belong to the pinned version (0.6.0): the chunk ruffle.js loads when the browser has
# the WebAssembly extensions, and the wasm that chunk fetches. A new version brings new names.
set(chunk core.ruffle.c80159b526e567babaf5.js)
set(wasm 826bb0938097485a2c9d.wasm)
foreach(file ${chunk} ${wasm})
    if(NOT EXISTS "${FROM}/${file}")
        message(FATAL_ERROR "The SWF player lacks ${file}; set the names in ${CMAKE_CURRENT_LIST_FILE} "
                            "to those of its present version")
    endif()
endforeach()
file(READ "${FROM}/ruffle.js" loader)
string(FIND "${loader}" "\"${wasm}\"" wasm_named)
if(wasm_named EQUAL -1)
    message(FATAL_ERROR "ruffle.js does not name ${wasm}; update ${CMAKE_CURRENT_LIST_FILE}")
endif()
file(REMOVE_RECURSE "${TO}")
file(MAKE_DIRECTORY "${TO}")
file(COPY "${FROM}/${chunk}" DESTINATION "${TO}")
find_program(GZIP gzip REQUIRED)
# -n leaves out the name and time, so that the same player always gives the same bytes.
execute_process(COMMAND ${GZIP} -9 -n -c "${FROM}/${wasm}" OUTPUT_FILE "${TO}/${wasm}.gz"
                RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "gzip failed on ${wasm}")
endif()
