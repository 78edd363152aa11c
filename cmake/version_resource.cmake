# nf_version_resource(<target> <description>): stamps the project version, the
# product name and the description into the executable's version resource, so
# that Explorer, installers and administrators can tell which one is installed.
function(nf_version_resource target description)
  set(NF_RC_DESCRIPTION ${description})
  set(NF_RC_NAME ${target})
  set(rc ${CMAKE_BINARY_DIR}/version/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
