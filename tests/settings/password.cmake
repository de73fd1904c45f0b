# Included by this folder's CMakeLists.txt: tests of the positioned message box
# and the password dialog.
zendrel_test(msgbox_place_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/msgbox_place_test.cpp
  LIBS zmsgboxplace)

if(ZENDREL_WINDOWS)
  zendrel_test(msgbox_ex_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/msgbox_ex_test.cpp
    LIBS zsettings zsupport LOCK display)

  # The dialog's test program carries the program's resources (the key
  # picture among them); without them, a resource file of the key picture.
  set(pwd_frm_test_sources ${CMAKE_CURRENT_LIST_DIR}/pwd_frm_test.cpp)
  get_filename_component(key_picture ${CMAKE_CURRENT_LIST_DIR}/../../src/settings/res/key.ico
    ABSOLUTE)
  if(ZENDREL_SETTINGS_RC AND EXISTS ${ZENDREL_SETTINGS_RC})
    list(APPEND pwd_frm_test_sources ${ZENDREL_SETTINGS_RC})
  elseif(EXISTS ${key_picture})
    set(key_rc ${CMAKE_CURRENT_BINARY_DIR}/pwd_frm_test.rc)
    file(WRITE ${key_rc} "#include \"resource.h\"\nIDI_KEY_PICTURE ICON \"${key_picture}\"\n")
    list(APPEND pwd_frm_test_sources ${key_rc})
  endif()
  zendrel_test(pwd_frm_tests
    SOURCES ${pwd_frm_test_sources}
    LIBS zsettings zmd5 zsupport LOCK display)
endif()
