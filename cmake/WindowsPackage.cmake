# The Windows package (make windows-package): an NSIS installer that installs Tarabo.exe with a
# Start-menu shortcut, tarabo-scales.exe beside it and an uninstaller, offering Tarabo's own scale control as a component off
# by default when TaraboScale.dll is built; and a plain zip of Tarabo.exe. The files are stripped as
# they are linked (cmake/ShippedFiles.cmake); their debug information goes in a zip of its own.
find_program(TARABO_MAKENSIS makensis DOC "NSIS, for the Windows installer")
set(TARABO_SCALE_DLL ${CMAKE_BINARY_DIR}/TaraboScale.dll)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(TARABO_NSIS_TARGET amd64-unicode)
else()
  set(TARABO_NSIS_TARGET x86-unicode)
endif()

# An installer at `output` around the program `exe` (a path, which may be a generator expression),
# rebuilt when the targets in `depends` change.
function(tarabo_nsis_installer output exe depends)
  if(NOT TARABO_MAKENSIS)
    message(FATAL_ERROR "makensis not found: scripts/install-deps.sh --windows installs it")
  endif()
  set(script ${PROJECT_SOURCE_DIR}/packaging/windows/Tarabo.nsi)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${TARABO_MAKENSIS} -V2 -DEXE=${exe} -DTOOL=$<TARGET_FILE:tarabo-scales> -DOUTFILE=${output} -DVERSION=${PROJECT_VERSION}
            -DSCALE_DLL=${TARABO_SCALE_DLL} -DTARGET=${TARABO_NSIS_TARGET} ${script}
    DEPENDS ${script} ${depends}
    COMMENT "Building the installer ${output}")
endfunction()

# What ships, without the tests: what scripts/test-windows.sh builds of a tree it cannot test.
add_custom_target(windows_shipped)
add_dependencies(windows_shipped tarabo tarabo-scales tarabo_scale)

set(setup ${CMAKE_BINARY_DIR}/Tarabo-${PROJECT_VERSION}-setup.exe)
set(zip ${CMAKE_BINARY_DIR}/Tarabo-${PROJECT_VERSION}.zip)
tarabo_nsis_installer(${setup} $<TARGET_FILE:tarabo> "tarabo;tarabo-scales;tarabo_scale")
add_custom_command(
  OUTPUT ${zip}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip Tarabo.exe tarabo-scales.exe
  WORKING_DIRECTORY $<TARGET_FILE_DIR:tarabo>
  DEPENDS tarabo tarabo-scales
  COMMENT "Zipping Tarabo.exe and tarabo-scales.exe")
set(debug_zip ${CMAKE_BINARY_DIR}/Tarabo-${PROJECT_VERSION}-debug.zip)
add_custom_command(
  OUTPUT ${debug_zip}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${debug_zip} --format=zip Tarabo.exe.debug tarabo-scales.exe.debug TaraboScale.dll.debug
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS tarabo tarabo-scales tarabo_scale
  COMMENT "Zipping the debug information of the files that ship")
add_custom_target(windows_package DEPENDS ${setup} ${zip} ${debug_zip})
