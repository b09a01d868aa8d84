# SPDX-License-Identifier: GPL-3.0-or-later
# The core libraries, in layers: text <- fileio and synthesis <- sources <- cuesheet <- image. None of
# them links Qt. text holds the string helpers every layer shares (ASCII case, trimming, numbers);
# sources holds the data file sources (binary, WAVE, FLAC, FFmpeg) that a FILE command opens.
# A function, so that the fuzz project builds its instrumented copies from the same lists:
#   sarvex_add_core(PREFIX) defines PREFIX_<layer> for each layer and PREFIX_core (all of them),
#   and sets PREFIX_CORE_LAYERS to the layers' library names.
get_filename_component(SARVEX_CORE_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../src ABSOLUTE)
set(SARVEX_CORE_LAYERS text fileio synthesis sources cuesheet image)

function(sarvex_add_core prefix)
  find_package(Threads REQUIRED)
  find_package(nlohmann_json 3 REQUIRED)
  # Audio decoders: libFLAC for FLAC, FFmpeg for the other compressed formats. FFmpeg is loaded at run
  # time, when a sheet first needs it (sources/Avlibrary): the core takes only its headers.
  find_package(PkgConfig REQUIRED)
  if(NOT TARGET PkgConfig::FLAC)
    pkg_check_modules(FLAC REQUIRED IMPORTED_TARGET GLOBAL flac)
    pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET GLOBAL libavformat libavcodec libavutil)
  endif()
  set(layers)
  foreach(layer IN LISTS SARVEX_CORE_LAYERS)
    file(GLOB sources CONFIGURE_DEPENDS ${SARVEX_CORE_SOURCE_DIR}/${layer}/*.cpp)
    add_library(${prefix}_${layer} STATIC ${sources})
    target_include_directories(${prefix}_${layer} PUBLIC ${SARVEX_CORE_SOURCE_DIR})
    list(APPEND layers ${prefix}_${layer})
  endforeach()
  target_link_libraries(${prefix}_fileio PUBLIC ${prefix}_text)
  target_link_libraries(${prefix}_synthesis PUBLIC ${prefix}_text)
  target_link_libraries(${prefix}_sources PUBLIC ${prefix}_synthesis ${prefix}_fileio PkgConfig::FLAC ${CMAKE_DL_LIBS})
  target_include_directories(${prefix}_sources PRIVATE $<TARGET_PROPERTY:PkgConfig::FFMPEG,INTERFACE_INCLUDE_DIRECTORIES>)
  target_compile_options(${prefix}_sources PRIVATE $<TARGET_PROPERTY:PkgConfig::FFMPEG,INTERFACE_COMPILE_OPTIONS>)
  target_link_libraries(${prefix}_cuesheet PUBLIC ${prefix}_sources ${prefix}_synthesis ${prefix}_fileio)
  # The conversion job runs its composer on a thread of its own.
  target_link_libraries(${prefix}_image PUBLIC ${prefix}_cuesheet ${prefix}_fileio Threads::Threads
                                               nlohmann_json::nlohmann_json)
  add_library(${prefix}_core INTERFACE)
  target_link_libraries(${prefix}_core INTERFACE ${prefix}_image)
  set(${prefix}_CORE_LAYERS ${layers} PARENT_SCOPE)
endfunction()
