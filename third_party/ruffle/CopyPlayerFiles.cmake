# Copies what the web build of the SWF player needs at run time from its npm package (FROM) into
# the program's data folder (TO): ruffle.js, its core.ruffle.*.js chunks and its .wasm files.
# Source maps stay behind; files of an earlier version are removed first. The .wasm files lose
# their table of function names (about 2 MB each), which only a debugger reads.
if(NOT IS_DIRECTORY "${FROM}")
    message(FATAL_ERROR "The npm package of the SWF player is missing: ${FROM}")
endif()
file(REMOVE_RECURSE "${TO}")
file(MAKE_DIRECTORY "${TO}")
file(GLOB chunks "${FROM}/core.ruffle.*.js")
file(GLOB wasm "${FROM}/*.wasm")
list(LENGTH chunks chunk_count)
list(LENGTH wasm wasm_count)
if(NOT EXISTS "${FROM}/ruffle.js" OR chunk_count LESS 1 OR wasm_count LESS 1)
    message(FATAL_ERROR "The npm package of the SWF player lacks ruffle.js, its chunks or its wasm")
endif()
file(COPY "${FROM}/ruffle.js" ${chunks} "${FROM}/LICENSE_MIT" "${FROM}/LICENSE_APACHE"
     DESTINATION "${TO}")
find_program(WASM_STRIP wasm-strip)
if(NOT WASM_STRIP)
    message(FATAL_ERROR "wasm-strip is needed to strip the SWF player's wasm; install wabt")
endif()
foreach(code IN LISTS wasm)
    get_filename_component(name "${code}" NAME)
    execute_process(COMMAND ${WASM_STRIP} "${code}" -o "${TO}/${name}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "wasm-strip failed on ${code}")
    endif()
endforeach()
