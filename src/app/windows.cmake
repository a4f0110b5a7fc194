# SPDX-License-Identifier: GPL-3.0-or-later
# The program on Windows: a window program that carries its icon and version record, with the Qt
# and compiler libraries it needs beside it, and a 64-bit installer in German (NSIS).
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/quirlbild.rc.in ${CMAKE_CURRENT_BINARY_DIR}/quirlbild.rc
               @ONLY)
target_sources(quirlbild PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/quirlbild.rc)
set_target_properties(quirlbild PROPERTIES WIN32_EXECUTABLE ON)

# Qt's translations as Debian ships them for the same Qt version.
set(QUIRLBILD_QT_TRANSLATIONS /usr/share/qt6/translations CACHE PATH
    "Folder with Qt's qtbase_de.qm for the Windows program")
# What the program needs beside it, found from Qt's prefix and the cross compiler's folders.
get_filename_component(qt_prefix "${Qt6_DIR}/../../.." ABSOLUTE)
set(windows_dlls ${qt_prefix}/bin/Qt6Core.dll ${qt_prefix}/bin/Qt6Gui.dll
                 ${qt_prefix}/bin/Qt6Widgets.dll)
# The compiler's runtime, which Qt's libraries were built against.
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  find_file(runtime_dll_${dll} ${dll} NO_CACHE REQUIRED NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
            PATHS /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
  list(APPEND windows_dlls ${runtime_dll_${dll}})
endforeach()
set(windows_plugins platforms/qwindows.dll platforms/qoffscreen.dll platforms/qminimal.dll
                    styles/qwindowsvistastyle.dll imageformats/qico.dll)
set(QUIRLBILD_WINDOWS_DLLS ${windows_dlls} CACHE INTERNAL "")
set(QUIRLBILD_QT_PREFIX ${qt_prefix} CACHE INTERNAL "")

# Beside the built program, so that it runs from the build folder.
set(copy_commands)
foreach(plugin ${windows_plugins})
  get_filename_component(plugin_dir ${plugin} DIRECTORY)
  list(APPEND copy_commands COMMAND ${CMAKE_COMMAND} -E make_directory
       $<TARGET_FILE_DIR:quirlbild>/${plugin_dir}
       COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt_prefix}/plugins/${plugin}
       $<TARGET_FILE_DIR:quirlbild>/${plugin_dir})
endforeach()
add_custom_command(TARGET quirlbild POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${windows_dlls} $<TARGET_FILE_DIR:quirlbild>
  ${copy_commands}
  COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:quirlbild>/translations
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QUIRLBILD_QT_TRANSLATIONS}/qtbase_de.qm
          $<TARGET_FILE_DIR:quirlbild>/translations
  VERBATIM)

install(TARGETS quirlbild RUNTIME DESTINATION .)
install(FILES ${windows_dlls} DESTINATION .)
foreach(plugin ${windows_plugins})
  get_filename_component(plugin_dir ${plugin} DIRECTORY)
  install(FILES ${qt_prefix}/plugins/${plugin} DESTINATION ${plugin_dir})
endforeach()
# Qt's own dialogs in German: Qt's translations, as Debian ships them for the same Qt version.
install(FILES ${QUIRLBILD_QT_TRANSLATIONS}/qtbase_de.qm DESTINATION translations)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)

# CMake's own NSIS template, for a 64-bit installer (a 32-bit one does not run on a 64-bit-only
# Wine, and is not what a 64-bit program should ship with) that speaks German.
file(READ ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in nsis_template)
string(REGEX REPLACE "[ \t]*!insertmacro MUI_LANGUAGE \"[A-Za-z]+\"[^\n]*\n" "" nsis_template
       "${nsis_template}")
string(REPLACE ";Installer Sections" "  !insertmacro MUI_LANGUAGE \"German\"\n\n;Installer Sections"
       nsis_template "${nsis_template}")
# After the template's first line, which begins with the byte order mark.
string(FIND "${nsis_template}" "\n" first_line_end)
math(EXPR rest_begin "${first_line_end} + 1")
string(SUBSTRING "${nsis_template}" 0 ${rest_begin} first_line)
string(SUBSTRING "${nsis_template}" ${rest_begin} -1 rest)
file(WRITE ${CMAKE_BINARY_DIR}/nsis/NSIS.template.in
     "${first_line}Target amd64-unicode\n${rest}")
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_BINARY_DIR}/nsis)
set(CMAKE_MODULE_PATH ${CMAKE_MODULE_PATH} PARENT_SCOPE)

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Quirlbild)
set(CPACK_PACKAGE_VENDOR Quirlbild)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME Quirlbild-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quirlbild)
set(CPACK_PACKAGE_EXECUTABLES quirlbild Quirlbild)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_NSIS_PACKAGE_NAME Quirlbild)
set(CPACK_NSIS_DISPLAY_NAME Quirlbild)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/data/icons/${QUIRLBILD_APP_ID}.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/data/icons/${QUIRLBILD_APP_ID}.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME quirlbild.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
