# vexo_add_bundle(TARGET target NAME name SOURCE_DIR dir OUTPUT_DIR dir)
# Builds every file under SOURCE_DIR into the Qt binary resource file
# OUTPUT_DIR/NAME.rcc, each at its path relative to SOURCE_DIR.
function(vexo_add_bundle)
  cmake_parse_arguments(B "" "TARGET;NAME;SOURCE_DIR;OUTPUT_DIR" "" ${ARGN})
  file(GLOB_RECURSE files CONFIGURE_DEPENDS RELATIVE ${B_SOURCE_DIR} ${B_SOURCE_DIR}/*)
  list(SORT files)
  set(qrc "<RCC>\n  <qresource prefix=\"/\">\n")
  foreach(f ${files})
    string(APPEND qrc "    <file alias=\"${f}\">${B_SOURCE_DIR}/${f}</file>\n")
  endforeach()
  string(APPEND qrc "  </qresource>\n</RCC>\n")
  # Written only when it changes, so that an unchanged bundle is not rebuilt.
  set(qrc_file ${CMAKE_CURRENT_BINARY_DIR}/${B_NAME}.qrc)
  file(WRITE ${qrc_file}.new "${qrc}")
  configure_file(${qrc_file}.new ${qrc_file} COPYONLY)
  qt_add_binary_resources(${B_TARGET} ${qrc_file} DESTINATION ${B_OUTPUT_DIR}/${B_NAME}.rcc)
endfunction()
