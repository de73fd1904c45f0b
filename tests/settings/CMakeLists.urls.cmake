# Tests of the approved-site file (urls_file) and the site-list text
# (site_text). Included by tests/settings/CMakeLists.txt.
zendrel_test(site_text_tests SOURCES site_text_test.cpp LIBS zsitetext)

if(ZENDREL_WINDOWS)
  # Saves urls.txt until the kill test kills it.
  add_executable(urls_save_child urls_save_child.cpp urls_kill_content.h)
  target_link_libraries(urls_save_child PRIVATE zurlsfile)
  if(MINGW)
    target_link_options(urls_save_child PRIVATE -municode)
  endif()

  zendrel_test(urls_file_tests SOURCES urls_file_test.cpp urls_kill_content.h
    LIBS zurlsfile advapi32 ENV LC_ALL=en_US.UTF-8)
  add_dependencies(urls_file_tests urls_save_child)
  # The code page test once more under the Cyrillic code page (1251).
  add_test(NAME UrlsFileCodePage.Cyrillic
    COMMAND urls_file_tests --gtest_filter=UrlsFileCodePage.*)
  set_tests_properties(UrlsFileCodePage.Cyrillic PROPERTIES TIMEOUT 120
    ENVIRONMENT LC_ALL=ru_RU.UTF-8)
endif()
