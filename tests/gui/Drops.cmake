quorvane_add_test(test_drops DropsTest.cpp GUI)
