# The layering check: every #include "folder/File.h" in src/ is held against the table of what each folder may
# use, and the core folders must not include Qt Widgets. Run as a test:
#   cmake -DSRC=<src folder> -DWIDGET_HEADERS=<Qt's QtWidgets include folder> -P cmake/CheckLayers.cmake
# It prints every broken rule and fails when there is one.
cmake_minimum_required(VERSION 3.22)

# A folder may include its own headers and those of the folders listed for it; nothing else.
set(layers
  "platform:"
  "platform/simcam:platform"
  "imaging:platform"
  # A frame is a picture: the camera fills DibImages.
  "camera:platform imaging"
  "calib:platform imaging"
  # Edges found on the picture itself, for the measuring tools that snap and fit.
  "edges:platform imaging"
  "files:platform imaging"
  # Focus stacking: frames aligned and fused with OpenCV.
  "stack:platform imaging"
  # The view's mouse handling hands the thumbnail strip its part of each event.
  "measure:platform imaging calib edges"
  # The settings carry the scale bar and the calibration section.
  "live:platform imaging camera calib"
  "dialogs:platform imaging camera"
  # The application's lasting state: the settings file and the documents it fills.
  "session:platform imaging camera calib files measure live"
  # Widget code: the shared helpers below every feature's ui/ folder, the main window above them all.
  "ui:platform imaging"
  "calib/ui:platform imaging calib ui"
  "dialogs/ui:platform imaging camera dialogs ui"
  "files/ui:platform imaging files ui"
  "measure/ui:platform imaging calib edges measure ui"
  "app:platform platform/simcam imaging camera calib edges stack files measure live dialogs session ui calib/ui dialogs/ui files/ui measure/ui"
)
# Folders whose code may use Qt Widgets.
set(widget_layers ui calib/ui dialogs/ui files/ui measure/ui app)

if(NOT SRC)
  message(FATAL_ERROR "CheckLayers: SRC (the src folder) is not set")
endif()

foreach(entry IN LISTS layers)
  string(REPLACE ":" ";" parts "${entry}")
  list(GET parts 0 layer)
  list(LENGTH parts n)
  set(allowed "")
  if(n GREATER 1)
    list(GET parts 1 allowed)
    separate_arguments(allowed)
  endif()
  set(allowed_${layer} ${layer} ${allowed})
  list(APPEND known ${layer})
endforeach()

set(widget_headers "")
if(WIDGET_HEADERS AND IS_DIRECTORY "${WIDGET_HEADERS}")
  file(GLOB widget_headers RELATIVE "${WIDGET_HEADERS}" "${WIDGET_HEADERS}/Q*")
endif()

set(broken 0)
file(GLOB_RECURSE sources RELATIVE "${SRC}" "${SRC}/*.h" "${SRC}/*.cpp" "${SRC}/*.inc")
foreach(source IN LISTS sources)
  get_filename_component(layer "${source}" DIRECTORY)
  if(NOT layer IN_LIST known)
    message("${source}: folder '${layer}' is not in the layer table")
    math(EXPR broken "${broken} + 1")
    continue()
  endif()
  file(STRINGS "${SRC}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS includes)
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      get_filename_component(target "${CMAKE_MATCH_1}" DIRECTORY)
      if(target STREQUAL "")
        continue() # a header beside the file
      endif()
      if(NOT target IN_LIST allowed_${layer})
        message("${source}: ${layer} may not include ${CMAKE_MATCH_1}")
        math(EXPR broken "${broken} + 1")
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
      set(header "${CMAKE_MATCH_1}")
      string(REGEX REPLACE "^QtWidgets/" "" bare "${header}")
      if(NOT layer IN_LIST widget_layers AND (header MATCHES "^QtWidgets" OR bare IN_LIST widget_headers))
        message("${source}: ${layer} is core code and may not include the widget header <${header}>")
        math(EXPR broken "${broken} + 1")
      endif()
    endif()
  endforeach()
endforeach()

if(broken GREATER 0)
  message(FATAL_ERROR "CheckLayers: ${broken} broken rule(s)")
endif()
list(LENGTH sources count)
message("CheckLayers: ${count} files keep to the layers")
