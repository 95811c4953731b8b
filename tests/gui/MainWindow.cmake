# The main window driven through its controls on the offscreen platform.
quorvane_add_test(test_main_window Form1Test.cpp Form1ListTest.cpp Form1ImportTest.cpp QtPromptsTest.cpp GUI)
