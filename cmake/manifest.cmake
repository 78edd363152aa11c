# nf_manifest(<target> <level> [WINDOWED]): embeds the application manifest
# (packaging/app.manifest.in) as the executable's resource 1 of type 24
# (RT_MANIFEST), where Windows looks for it before the program starts.
# <level> is the requestedExecutionLevel: asInvoker, highestAvailable or
# requireAdministrator. Without one, Windows virtualises a 32-bit program's
# writes to HKLM and Program Files into the user's VirtualStore, and its reads
# see them there. WINDOWED programs draw for the DPI of each monitor rather than
# being stretched blurry by Windows, and take the common controls of version 6.
function(nf_manifest target level)
  cmake_parse_arguments(ARG "WINDOWED" "" "" ${ARGN})
  if(NOT level MATCHES "^(asInvoker|highestAvailable|requireAdministrator)$")
    message(FATAL_ERROR "nf_manifest(${target}): no execution level '${level}'")
  endif()
  set(NF_MANIFEST_LEVEL ${level})
  set(NF_MANIFEST_WINDOWED "")
  if(ARG_WINDOWED)
    # dpiAware true/pm is what Windows 8.1 reads; Windows 10 1607 and later
    # read dpiAwareness and take the first value they know.
    set(NF_MANIFEST_WINDOWED [=[
  <application xmlns="urn:schemas-microsoft-com:asm.v3">
    <windowsSettings>
      <dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>
      <dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, PerMonitor</dpiAwareness>
    </windowsSettings>
  </application>
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
                        processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>
]=])
  endif()
  set(out ${CMAKE_BINARY_DIR}/manifest)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/app.manifest.in ${out}/${target}.manifest @ONLY)
  file(WRITE ${out}/${target}.rc.in "1 24 \"${out}/${target}.manifest\"\n")
  configure_file(${out}/${target}.rc.in ${out}/${target}.rc COPYONLY)
  # The resource is rebuilt when the manifest changes, not only its .rc.
  set_source_files_properties(${out}/${target}.rc PROPERTIES OBJECT_DEPENDS ${out}/${target}.manifest)
  target_sources(${target} PRIVATE ${out}/${target}.rc)
endfunction()
