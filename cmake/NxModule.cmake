# nx_module(<target> [DEPS <targets...>]) makes a static library of the .cpp files in the calling folder (not
# its subfolders: a feature's widget code sits in its ui/ subfolder and goes into the user-interface library,
# nx_ui, made in src/app, so the core libraries never link Widgets).
function(nx_module target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${target} STATIC ${sources})
    target_link_libraries(${target} PUBLIC ${ARG_DEPS} PRIVATE nx_warnings)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  else()
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${ARG_DEPS})
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src)
  endif()
endfunction()
