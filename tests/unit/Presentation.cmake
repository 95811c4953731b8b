# The presentation reader, the presentation server, PresentationText, the staging file and the
# text command. The package builder writes hand-made packages with libzip.
add_library(quorvane_package_builder STATIC PackageBuilder.cpp)
target_link_libraries(quorvane_package_builder PUBLIC quorvane_options Qt6::Core GTest::gtest PRIVATE PkgConfig::LIBZIP)

quorvane_add_test(test_presentation_reader PresentationReaderTest.cpp PackageHelpersTest.cpp)
target_link_libraries(test_presentation_reader PRIVATE quorvane_package_builder pugixml::pugixml)

quorvane_add_test(test_presentation_server PresentationServerTest.cpp)
target_link_libraries(test_presentation_server PRIVATE quorvane_package_builder)

quorvane_add_test(test_staging_file StagingFileTest.cpp)

quorvane_add_test(test_text_command TextCommandTest.cpp)
target_link_libraries(test_text_command PRIVATE quorvane_package_builder quorvane_cli)
