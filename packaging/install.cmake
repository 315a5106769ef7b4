# How every program is installed. A program's CMakeLists.txt states what it is; the rules for
# where its files go, its manual page, its desktop entry and its package dependencies live here,
# once:
#
#   kelvor_install_program(<target> COMPONENT <component> [LIBKELVOR LINKED|DLOPENED]
#                          [DEPENDS <debian-package>...])
#       Installs the program into bin/. LIBKELVOR gives it the RUNPATH that finds
#       libkelvor.so.1: beside the build tree's bin/ while building, $ORIGIN/../<libdir> once
#       installed (the build tree's entry never survives the install). DLOPENED also makes the
#       program's package depend on the library's, which dpkg-shlibdeps cannot see. DEPENDS
#       names further Debian packages it needs at run time (fonts, plugins).
#   kelvor_man_page(<target> HELP2MAN "<one-line summary>")
#   kelvor_man_page(<target> PAGE <file.1.in>)
#       Its manual page, section 1: generated from --help by help2man at build time (with
#       QT_QPA_PLATFORM=offscreen for a GUI program, without leak checks in a sanitized
#       build, as the test suite runs), or written by hand
#       (configured with @PROJECT_VERSION@, @KELVOR_MAN_DATE@, @KELVOR_SEE_ALSO@ and the
#       program's @KELVOR_INSTALL_RPATH@).
#   kelvor_desktop_entry(<target> ENTRY <file.desktop> ICON <file.svg>)
#       Its menu entry and its icon (hicolor: the SVG as scalable, rendered to 48 px PNG).
#
# Components, one Debian package each (packaging/packages.cmake): library (libkelvor1), dev
# (libkelvor-dev), tester (kelvor-tester), tools (kelvor-tools: simulator, viewer, klv).
# Manual pages are made at the end of the configuration (kelvor_make_man_pages), when every
# program is known, so each page's SEE ALSO names all the others.

include_guard(GLOBAL)

# The documentation goes to share/doc/kelvor, not to GNUInstallDirs' share/doc/KelvorTester
# (an empty entry is GNUInstallDirs' "default").
if(NOT CMAKE_INSTALL_DOCDIR)
  set(CMAKE_INSTALL_DOCDIR "share/doc/kelvor" CACHE PATH "Documentation (DATAROOTDIR/doc/kelvor)"
      FORCE)
endif()
include(GNUInstallDirs)

find_program(KELVOR_HELP2MAN help2man)
find_program(KELVOR_RSVG_CONVERT rsvg-convert)
find_program(KELVOR_GZIP gzip)

function(kelvor_install_program target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "COMPONENT;LIBKELVOR" "DEPENDS")
  if(NOT arg_COMPONENT)
    message(FATAL_ERROR "kelvor_install_program(${target}): COMPONENT is required")
  endif()
  set_property(TARGET ${target} PROPERTY KELVOR_COMPONENT ${arg_COMPONENT})
  set_property(GLOBAL APPEND PROPERTY KELVOR_DEPENDS_${arg_COMPONENT} ${arg_DEPENDS})

  if(arg_LIBKELVOR)
    if(NOT arg_LIBKELVOR MATCHES "^(LINKED|DLOPENED)$")
      message(FATAL_ERROR "kelvor_install_program(${target}): LIBKELVOR is LINKED or DLOPENED")
    endif()
    if(arg_LIBKELVOR STREQUAL "DLOPENED")
      set_property(GLOBAL APPEND PROPERTY KELVOR_DLOPENS_LIBRARY ${arg_COMPONENT})
    endif()
    get_target_property(out ${target} RUNTIME_OUTPUT_DIRECTORY)
    if(NOT out)
      get_target_property(out ${target} BINARY_DIR)
    endif()
    get_target_property(lib_out kelvor LIBRARY_OUTPUT_DIRECTORY)
    file(RELATIVE_PATH build_rel "${out}" "${lib_out}")
    file(RELATIVE_PATH install_rel "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")
    # Built, the program searches the build tree's library first; installed, only the library
    # beside it. CMake's own rewrite would leave an empty entry (the current directory) in the
    # build tree's RUNPATH, so the build tree gets the final string and the install drops the
    # first entry itself.
    set(installed "$ORIGIN/${install_rel}")
    set(built "$ORIGIN/${build_rel}:${installed}")
    set_target_properties(${target} PROPERTIES BUILD_WITH_INSTALL_RPATH ON INSTALL_RPATH "${built}")
    target_link_options(${target} PRIVATE "LINKER:--enable-new-dtags")
    add_dependencies(${target} kelvor)
  endif()

  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${arg_COMPONENT})
  if(arg_LIBKELVOR)
    install(CODE "file(RPATH_CHANGE
      FILE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${target}>\"
      OLD_RPATH \"${built}\" NEW_RPATH \"${installed}\")" COMPONENT ${arg_COMPONENT})
    set_property(TARGET ${target} PROPERTY KELVOR_INSTALLED_RPATH "${installed}")
  endif()
endfunction()

function(kelvor_man_page target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "HELP2MAN;PAGE" "")
  if((arg_HELP2MAN AND arg_PAGE) OR NOT (arg_HELP2MAN OR arg_PAGE))
    message(FATAL_ERROR "kelvor_man_page(${target}): give either HELP2MAN or PAGE")
  endif()
  if(arg_PAGE)
    get_filename_component(arg_PAGE "${arg_PAGE}" ABSOLUTE)
    set_property(TARGET ${target} PROPERTY KELVOR_MAN_PAGE "${arg_PAGE}")
  else()
    set_property(TARGET ${target} PROPERTY KELVOR_MAN_SUMMARY "${arg_HELP2MAN}")
  endif()
  set_property(GLOBAL APPEND PROPERTY KELVOR_MAN_PROGRAMS ${target})
endfunction()

function(kelvor_desktop_entry target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "ENTRY;ICON" "")
  get_target_property(component ${target} KELVOR_COMPONENT)
  if(NOT component OR NOT arg_ENTRY OR NOT arg_ICON)
    message(FATAL_ERROR "kelvor_desktop_entry(${target}): needs ENTRY and ICON, after "
                        "kelvor_install_program")
  endif()
  get_filename_component(entry "${arg_ENTRY}" ABSOLUTE)
  get_filename_component(icon "${arg_ICON}" ABSOLUTE)
  set_property(GLOBAL APPEND PROPERTY KELVOR_DESKTOP_ENTRIES "${entry}")
  # The program names its window icon and its desktop file after itself.
  target_compile_definitions(${target} PRIVATE KELVOR_DESKTOP_ID="${target}")

  set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES "${entry}" DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          RENAME ${target}.desktop COMPONENT ${component})
  install(FILES "${icon}" DESTINATION ${icons}/scalable/apps RENAME ${target}.svg
          COMPONENT ${component})
  if(KELVOR_RSVG_CONVERT)
    set(png ${CMAKE_BINARY_DIR}/icons/48x48/${target}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/48x48
      COMMAND ${KELVOR_RSVG_CONVERT} --width 48 --height 48 --output ${png} "${icon}"
      DEPENDS "${icon}"
      COMMENT "Rendering the 48 px icon of ${target}")
    add_custom_target(${target}-icon ALL DEPENDS ${png})
    install(FILES ${png} DESTINATION ${icons}/48x48/apps COMPONENT ${component})
  else()
    message(WARNING "rsvg-convert (Debian: librsvg2-bin) not found: ${target} gets no 48 px icon")
  endif()
endfunction()

# Called once at the end of the configuration: the manual page of every program that asked for
# one, compressed as Debian wants it (gzip -9n, no name or time stamp inside).
function(kelvor_make_man_pages)
  get_property(programs GLOBAL PROPERTY KELVOR_MAN_PROGRAMS)
  string(TIMESTAMP KELVOR_MAN_DATE "%B %Y" UTC)  # SOURCE_DATE_EPOCH, when set, fixes it
  set(dir ${CMAKE_BINARY_DIR}/man)
  foreach(target IN LISTS programs)
    get_target_property(component ${target} KELVOR_COMPONENT)
    get_target_property(page ${target} KELVOR_MAN_PAGE)
    get_target_property(summary ${target} KELVOR_MAN_SUMMARY)
    get_target_property(KELVOR_INSTALL_RPATH ${target} KELVOR_INSTALLED_RPATH)
    set(others ${programs})
    list(REMOVE_ITEM others ${target})
    list(TRANSFORM others APPEND " (1)")
    list(TRANSFORM others PREPEND ".BR ")
    list(JOIN others ",\n" KELVOR_SEE_ALSO)
    string(APPEND KELVOR_SEE_ALSO "\n.PP\nThe documentation in ${CMAKE_INSTALL_FULL_DOCDIR}.")

    set(roff ${dir}/${target}.1)
    if(page)
      configure_file("${page}" ${roff} @ONLY)
      add_custom_command(OUTPUT ${roff}.gz
        COMMAND ${KELVOR_GZIP} -9nkf ${roff}
        DEPENDS ${roff}
        COMMENT "Manual page of ${target}"
        VERBATIM)
    elseif(KELVOR_HELP2MAN)
      file(CONFIGURE OUTPUT ${dir}/${target}.h2m CONTENT "[SEE ALSO]\n${KELVOR_SEE_ALSO}\n")
      add_custom_command(OUTPUT ${roff}.gz
        BYPRODUCTS ${roff}
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
                ${KELVOR_HELP2MAN} --no-info --section=1 --name=${summary}
                --version-string=${PROJECT_VERSION} --include=${dir}/${target}.h2m
                --output=${roff} $<TARGET_FILE:${target}>
        COMMAND ${KELVOR_GZIP} -9nkf ${roff}
        DEPENDS ${target} ${dir}/${target}.h2m
        COMMENT "Manual page of ${target} from its --help"
        VERBATIM)
    else()
      message(WARNING "help2man not found: ${target} gets no manual page")
      continue()
    endif()
    add_custom_target(${target}-man ALL DEPENDS ${roff}.gz)
    install(FILES ${roff}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
  endforeach()
endfunction()
