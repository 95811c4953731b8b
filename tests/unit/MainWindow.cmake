# The list's own routines (adding by dialog, removal, reordering) and the desktop settings store.
quorvane_add_test(test_list_editing AddFilesTest.cpp ReorderTest.cpp SettingsStoreTest.cpp)
