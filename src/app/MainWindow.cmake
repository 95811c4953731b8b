# The main window, the Qt services and the desktop program `quorvane`.
target_sources(quorvane_gui PRIVATE
  Form1.cpp
  FileListView.cpp
  QtDesktop.cpp
  QtDialogs.cpp
  resources/quorvane.qrc
)

add_executable(quorvane main.cpp)
target_link_libraries(quorvane PRIVATE quorvane_options quorvane_gui)
set_target_properties(quorvane PROPERTIES OUTPUT_NAME quorvane)

# Optional files beside the program, where it looks for them: the pointer of a drag inside the list
# (and, when present in the tree, the hand pointer and the skin). The build tree gets copies too, so
# the program runs from there as it does installed.
set(QUORVANE_BESIDE_FILES ${CMAKE_CURRENT_LIST_DIR}/resources/drag.ico)
foreach(optional HAND-M.CUR)
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/resources/${optional})
    list(APPEND QUORVANE_BESIDE_FILES ${CMAKE_CURRENT_LIST_DIR}/resources/${optional})
  endif()
endforeach()
foreach(file IN LISTS QUORVANE_BESIDE_FILES)
  add_custom_command(TARGET quorvane POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${file} $<TARGET_FILE_DIR:quorvane>/)
endforeach()

# Installed layout: the program and its optional files in one folder of its own (it finds them
# beside itself), a link on the PATH, and the desktop entry with its icon for the menu. The sample
# presentations are installed with their sources (samples/).
include(GNUInstallDirs)
set(QUORVANE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/quorvane)
install(TARGETS quorvane RUNTIME DESTINATION ${QUORVANE_INSTALL_DIR})
install(FILES ${QUORVANE_BESIDE_FILES} DESTINATION ${QUORVANE_INSTALL_DIR})
install(DIRECTORY ${CMAKE_CURRENT_LIST_DIR}/resources/x DESTINATION ${QUORVANE_INSTALL_DIR} OPTIONAL)
install(CODE "
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(CREATE_LINK \"../${QUORVANE_INSTALL_DIR}/quorvane\"
       \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quorvane\" SYMBOLIC)")
install(FILES ${CMAKE_CURRENT_LIST_DIR}/resources/quorvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/resources/quorvane.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/resources/quorvane-48.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME quorvane.png)
