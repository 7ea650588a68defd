# The Debian package (`make package`, or `cpack -G DEB` in the build folder):
# sorbit_VERSION_ARCH.deb under /usr with the Runtime component only, programs stripped,
# Depends worked out by dpkg-shlibdeps from the programs' libraries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sorbit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Sorbit project")
set(CPACK_PACKAGE_CONTACT "Sorbit maintainers <maintainers@users.noreply.c-seed-0080a6ff.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tekuri BBS log to SHOWPC SVF converter")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# One package of the Runtime component: the library's developer files stay out of it.
set(CPACK_COMPONENTS_ALL Runtime)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

set(CPACK_DEBIAN_PACKAGE_NAME sorbit)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window asks for a Japanese font and falls back to IPA Gothic; the viewer it starts
# is a Windows program, run under Wine.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-ipafont-gothic)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS wine)
# The extended description, below the summary line (CPACK_PACKAGE_DESCRIPTION_SUMMARY) that
# CPack puts first; each line is indented by one blank in the control file.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Sorbit converts the logs of tekuri, a BBS-log collector, into SVF (SHOWPC
Virtual Format), the log format of the SHOWPC viewer: one SVF file per board,
message headers rewritten, messages numbered, e-mail addresses split off the
handle and reply numbers carried into the record. Logs and output are
Shift-JIS bytes, passed through unchanged; an older output file is kept under
a dated backup name.
.
The package holds the Japanese desktop window sorbit, the reader window
sorbit-reader (boards, threads by reply number, search), the command-line
converter tekuri2svf, sjisgrep, a search over Shift-JIS files, and
sorbit-export, which publishes the archive as a static web site, UTF-8 text
or JSON lines.")

include(CPack)
