# Prepares the SWF player as a publication carries it, from the program's copy of it (FROM, wasm
# already stripped) into the program's data folder (TO, <data folder>/publish/player/), compressed
# once here so that publishing does not compress 12 MB every time:
#   - ruffle.js, the code chunk and the wasm that every current browser loads, gzipped: a page
#     unpacks them itself, so that a visitor downloads about a third of the bytes from any host;
#   - the other chunk as it is and the other wasm gzipped, for browsers without the WebAssembly
#     extensions (the web folder only);
#   - the licence files.
# NAMES (a JSON file) tells publishing which files a page unpacks: {"loader", "chunk", "wasm"}.
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
find_program(GZIP gzip REQUIRED)

file(GLOB codes RELATIVE "${FROM}" "${FROM}/*.wasm")
file(GLOB other_chunks "${FROM}/core.ruffle.*.js")
list(REMOVE_ITEM other_chunks "${FROM}/${chunk}")
foreach(file ruffle.js ${chunk} ${codes})
    # -n leaves out the name and time, so that the same player always gives the same bytes.
    execute_process(COMMAND ${GZIP} -9 -n -c "${FROM}/${file}" OUTPUT_FILE "${TO}/${file}.gz"
                    RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "gzip failed on ${file}")
    endif()
endforeach()
file(COPY ${other_chunks} "${FROM}/LICENSE_MIT" "${FROM}/LICENSE_APACHE" DESTINATION "${TO}")
file(WRITE "${NAMES}" "{\"loader\": \"ruffle.js\", \"chunk\": \"${chunk}\", \"wasm\": \"${wasm}\"}\n")
