# Building plug-in modules and bundles (see AudioComponentBundles.h for the layout and the keys
# of Info.plist, PluginEntry.h for the entry point).

# orvex_plugin_module(TARGET SOURCES...): a MODULE library set up as a plug-in module: hidden
# visibility, only `pf_audio_plugin_entry` exported (PluginExports.map), named <TARGET>.so, linked
# with the shared platform layer (never statically, so the process has one main queue).
function(orvex_plugin_module target)
  add_library(${target} MODULE ${ARGN})
  target_link_libraries(${target} PRIVATE platform_audio)
  set_target_properties(${target} PROPERTIES
    PREFIX "" SUFFIX ".so"
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${ORVEX_PLUGIN_EXPORTS_MAP})
  target_link_options(${target} PRIVATE -Wl,--version-script=${ORVEX_PLUGIN_EXPORTS_MAP})
endfunction()

# orvex_plugin_bundle(TARGET BUNDLE_DIR INFO_PLIST_TEMPLATE): makes BUNDLE_DIR (a "<Name>.appex"
# folder): Info.plist configured from the template (@ONLY, with the caller's variables), and the
# module of TARGET copied into BUNDLE_DIR/MacOS after every build of TARGET. Call it in the
# directory that defines TARGET.
function(orvex_plugin_bundle target bundle_dir info_template)
  configure_file(${info_template} ${bundle_dir}/Info.plist @ONLY)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${bundle_dir}/MacOS
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${bundle_dir}/MacOS/)
endfunction()
