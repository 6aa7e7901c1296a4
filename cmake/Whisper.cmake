# whisper.cpp, the optional second recognizer that decodes every finished
# sentence again. Its source comes from the npm package nodejs-whisper (which
# ships whisper.cpp under cpp/whisper.cpp, MIT), fetched by scripts/setup.sh
# into a cache folder outside the source tree. CPU only, no OpenMP (its worker
# threads spin and collapse on a small loaded machine), always optimised and
# never with our sanitizers or warnings: the library is not ours to check, and
# an unoptimised ggml would make every test that decodes crawl.
set(VOX_WHISPER_NPM_VERSION 0.3.1)
set(_whisper_cache "$ENV{XDG_CACHE_HOME}")
if(NOT _whisper_cache)
  set(_whisper_cache "$ENV{HOME}/.cache")
endif()
set(VOX_WHISPER_SOURCE_DIR
  "${_whisper_cache}/voxleaf/nodejs-whisper-${VOX_WHISPER_NPM_VERSION}/node_modules/nodejs-whisper/cpp/whisper.cpp"
  CACHE PATH "whisper.cpp source folder (scripts/setup.sh fetches it)")

if(NOT EXISTS "${VOX_WHISPER_SOURCE_DIR}/include/whisper.h")
  message(WARNING "whisper.cpp not found in ${VOX_WHISPER_SOURCE_DIR}: building without the Whisper "
                  "sentence pass (run scripts/setup.sh, or configure with -DVOX_WHISPER=OFF to silence this)")
  set(VOX_WHISPER OFF)
  return()
endif()

set(CMAKE_POLICY_DEFAULT_CMP0077 NEW)
set(BUILD_SHARED_LIBS OFF CACHE BOOL "" FORCE)
foreach(_opt WHISPER_BUILD_TESTS WHISPER_BUILD_EXAMPLES WHISPER_BUILD_SERVER WHISPER_SDL2 WHISPER_CURL
             GGML_OPENMP GGML_NATIVE GGML_BLAS GGML_CUDA GGML_VULKAN GGML_METAL GGML_LLAMAFILE
             WHISPER_ALL_WARNINGS GGML_ALL_WARNINGS GGML_CCACHE)
  set(${_opt} OFF CACHE BOOL "" FORCE)
endforeach()

# The folder's options are inherited when the sub-folder is added: hand it a
# clean set and put ours back afterwards.
get_directory_property(_vox_options COMPILE_OPTIONS)
get_directory_property(_vox_link_options LINK_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "-O2;-g0" LINK_OPTIONS "")
set(_vox_c_launcher "${CMAKE_C_COMPILER_LAUNCHER}")
if(CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_C_COMPILER_LAUNCHER "${CMAKE_CXX_COMPILER_LAUNCHER}")
endif()
set(CMAKE_AUTOMOC OFF)
add_subdirectory("${VOX_WHISPER_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/whisper.cpp" EXCLUDE_FROM_ALL SYSTEM)
set(CMAKE_AUTOMOC ON)
set(CMAKE_C_COMPILER_LAUNCHER "${_vox_c_launcher}")
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${_vox_options}" LINK_OPTIONS "${_vox_link_options}")
