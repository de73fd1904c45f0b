# Included by this folder's CMakeLists.txt after zsettings is defined: the
# positioned message box and the password dialog.

# The placement arithmetic of the positioned message box needs no Windows.
add_library(zmsgboxplace STATIC ${CMAKE_CURRENT_LIST_DIR}/msgbox_place.cpp)
target_include_directories(zmsgboxplace PUBLIC ${CMAKE_CURRENT_LIST_DIR})

if(ZENDREL_WINDOWS)
  target_sources(zsettings PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/msgbox_ex.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pwd_frm.cpp)
  target_link_libraries(zsettings PUBLIC zmd5 zmsgboxplace zcommon user32 gdi32)
endif()
