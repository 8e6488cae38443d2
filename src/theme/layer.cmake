# Included from nimbrel_layer() for the theme library: fonts and artwork compiled into resources.
#
# The fonts come from the installed Debian packages at build time and are never committed.
set(nimbrel_font_files
    /usr/share/fonts/opentype/inter/Inter-Light.otf
    /usr/share/fonts/opentype/inter/Inter-Regular.otf
    /usr/share/fonts/opentype/inter/Inter-Medium.otf
    /usr/share/fonts/opentype/inter/Inter-SemiBold.otf
    /usr/share/fonts/opentype/inter/Inter-Bold.otf
    /usr/share/fonts/opentype/inter/Inter-ExtraBold.otf
    /usr/share/fonts/opentype/inter/Inter-Black.otf
    /usr/share/fonts/truetype/quicksand/Quicksand-Light.ttf
    /usr/share/fonts/truetype/quicksand/Quicksand-Regular.ttf
    /usr/share/fonts/truetype/quicksand/Quicksand-Medium.ttf
    /usr/share/fonts/truetype/quicksand/Quicksand-Bold.ttf
    /usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf)
foreach(font ${nimbrel_font_files})
  if(NOT EXISTS ${font})
    message(FATAL_ERROR "${font} is missing: run scripts/setup (fonts-inter, fonts-quicksand, "
                        "fonts-material-design-icons-iconfont)")
  endif()
  get_filename_component(font_name ${font} NAME)
  set_source_files_properties(${font} PROPERTIES QT_RESOURCE_ALIAS ${font_name})
endforeach()
qt_add_resources(${name} nimbrel_fonts PREFIX /fonts FILES ${nimbrel_font_files})

# The puff images are our own artwork, drawn by a small program at build time.
set(puff_dir ${CMAKE_CURRENT_BINARY_DIR}/stage)
set(puff_files ${puff_dir}/puff1.png ${puff_dir}/puff2.png ${puff_dir}/puff3.png ${puff_dir}/puff4.png)
add_executable(nimbrel-puffgen ${PROJECT_SOURCE_DIR}/resources/puffs/puffgen.cpp)
target_compile_options(nimbrel-puffgen PRIVATE ${NIMBREL_WARNINGS})
target_link_libraries(nimbrel-puffgen PRIVATE Qt6::Gui)
add_custom_command(
  OUTPUT ${puff_files}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${puff_dir}
  COMMAND nimbrel-puffgen ${puff_dir}
  DEPENDS nimbrel-puffgen
  COMMENT "Drawing the puff images")
foreach(puff ${puff_files})
  get_filename_component(puff_name ${puff} NAME)
  set_source_files_properties(${puff} PROPERTIES GENERATED TRUE QT_RESOURCE_ALIAS ${puff_name})
endforeach()
qt_add_resources(${name} nimbrel_stage PREFIX /stage FILES ${puff_files})

# The effect library's file: names the effects Nimbrel runs itself (theme/effect_library.*).
set_source_files_properties(${PROJECT_SOURCE_DIR}/resources/effects/Nimbrel.effects PROPERTIES QT_RESOURCE_ALIAS
                                                                                              Nimbrel.effects)
qt_add_resources(${name} nimbrel_effects PREFIX /effects FILES ${PROJECT_SOURCE_DIR}/resources/effects/Nimbrel.effects)
