# The sample production's data pack, rebuilt whenever a source under
# demo/Data or a generator under tools/ changes.
set(VELMORA_PACK_FILE ${CMAKE_BINARY_DIR}/Velmora-Pinvale.sts)

# Assets made by our own compiled tools. They take seconds, so they are build
# outputs, remade only when their tool changes, and the pack copies them in.
set(VELMORA_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated/Data)
add_executable(velmora_make_noise ${CMAKE_SOURCE_DIR}/tools/noise/make_noise.cpp)
target_link_libraries(velmora_make_noise PRIVATE PkgConfig::STB)
set(_noise_dir ${VELMORA_GENERATED_DIR}/img/Shadertoy)
set(_noise_files ${_noise_dir}/BlueNoise1024.png ${_noise_dir}/RGBANoiseMedium256.png)
add_custom_command(OUTPUT ${_noise_files}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_noise_dir}
  COMMAND velmora_make_noise ${_noise_dir}
  DEPENDS velmora_make_noise
  COMMENT "Making the blue-noise and RGBA noise textures")

file(GLOB_RECURSE _pack_sources CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/demo/Data/* ${CMAKE_SOURCE_DIR}/tools/*)
add_custom_command(OUTPUT ${VELMORA_PACK_FILE}
  COMMAND bash ${CMAKE_SOURCE_DIR}/tools/build_pack.sh
          ${CMAKE_SOURCE_DIR}/demo/Data ${CMAKE_BINARY_DIR}/pack ${VELMORA_PACK_FILE} ${VELMORA_GENERATED_DIR}
  DEPENDS ${_pack_sources} ${_noise_files}
  COMMENT "Building the data pack Velmora-Pinvale.sts")
add_custom_target(velmora_pack ALL DEPENDS ${VELMORA_PACK_FILE})
