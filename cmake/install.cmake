# Installation and the Debian package. The program goes to bin, the module to
# lib/tesselin (where the program looks for it when it is not beside it), the
# manual and its pictures to share/doc/tesselin (where `help` looks when the
# current directory holds no manual), and the examples to share/tesselin.
install(TARGETS tesselin_app RUNTIME DESTINATION bin)
install(TARGETS tesselin_module LIBRARY DESTINATION lib/tesselin)
install(FILES manual.htm README.md DESTINATION share/doc/tesselin)
install(DIRECTORY docs/images DESTINATION share/doc/tesselin/docs OPTIONAL)
install(DIRECTORY examples/ DESTINATION share/tesselin/examples
        PATTERN "*.py" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_PACKAGE_NAME tesselin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Script-to-3D and anaglyph drawing, headless, to PNG")
set(CPACK_PACKAGE_DESCRIPTION "Tesselin draws 3D models, pictures and red-cyan anaglyphs from command scripts. The tesselin program renders with Mesa's software OpenGL, needs no display, and writes PNG images.")
set(CPACK_PACKAGE_CONTACT "Tesselin developers <tesselin@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_STRIP_FILES ON)
# The libraries the program and the module link come from dpkg-shlibdeps; the
# Mesa EGL vendor and the software renderer are loaded at run time, so they
# are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libegl-mesa0, libgl1-mesa-dri")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-utils, xclip | wl-clipboard, ffmpeg")
include(CPack)
