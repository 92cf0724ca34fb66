# Copies what the web build of the SWF player needs at run time from its npm package (FROM) into
# the program's data folder (TO): ruffle.js, its core.ruffle.*.js chunks and its .wasm files.
# Source maps stay behind; files of an earlier version are removed first.
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
file(COPY "${FROM}/ruffle.js" ${chunks} ${wasm} "${FROM}/LICENSE_MIT" "${FROM}/LICENSE_APACHE"
     DESTINATION "${TO}")
