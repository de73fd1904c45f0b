# cmake -DCHMLS=chmls -DCHM=file.chm -DENTRIES=a.htm,images/b.png -P check_chm.cmake
# Fails when an entry is not listed in the compiled help file, or when the
# file lists no table of contents or index. Without chmls (Windows) it only
# warns.
if(NOT CHMLS)
  message(WARNING "chmls not found: the contents of ${CHM} are not checked")
  return()
endif()
execute_process(COMMAND ${CHMLS} -n list ${CHM}
  OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "chmls could not list ${CHM}")
endif()
string(REPLACE "," ";" ENTRIES "${ENTRIES}")
set(missing)
foreach(entry ${ENTRIES} ZendrelHelp.hhc ZendrelHelp.hhk)
  string(FIND "${listing}" "/${entry}\n" at)
  if(at EQUAL -1)
    list(APPEND missing ${entry})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "ZendrelHelp.chm lacks: ${missing}\n${listing}")
endif()
list(LENGTH ENTRIES count)
message(STATUS "ZendrelHelp.chm lists all ${count} topics and pictures, the contents and the index")
