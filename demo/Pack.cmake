# The sample production's data pack, rebuilt whenever a source under
# demo/Data or a generator under tools/ changes.
set(VELMORA_PACK_FILE ${CMAKE_BINARY_DIR}/Velmora-Pinvale.sts)
file(GLOB_RECURSE _pack_sources CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/demo/Data/* ${CMAKE_SOURCE_DIR}/tools/*)
add_custom_command(OUTPUT ${VELMORA_PACK_FILE}
  COMMAND bash ${CMAKE_SOURCE_DIR}/tools/build_pack.sh
          ${CMAKE_SOURCE_DIR}/demo/Data ${CMAKE_BINARY_DIR}/pack ${VELMORA_PACK_FILE}
  DEPENDS ${_pack_sources}
  COMMENT "Building the data pack Velmora-Pinvale.sts")
add_custom_target(velmora_pack ALL DEPENDS ${VELMORA_PACK_FILE})
