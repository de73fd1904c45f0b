# cmake -DXMLLINT=... -DADMX=... -DADML=... -DSTORE=settings_store.cpp -P check_templates.cmake
# Fails unless both templates are well-formed, the .adml defines every string
# the .admx uses, and each policy writes the key, value name and type
# (REG_DWORD through <decimal>, 1 on and 0 off) that the store reads.

foreach(file ${ADMX} ${ADML})
  execute_process(COMMAND ${XMLLINT} --noout ${file} RESULT_VARIABLE status ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${file} is not well-formed XML:\n${error}")
  endif()
endforeach()

# xpath(OUT FILE EXPRESSION): the string value of EXPRESSION in FILE.
function(xpath out file expression)
  execute_process(COMMAND ${XMLLINT} --xpath "string(${expression})" ${file}
    OUTPUT_VARIABLE value ERROR_QUIET)
  string(STRIP "${value}" value)
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

function(expect file expression expected)
  xpath(actual ${file} "${expression}")
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${file}: ${expression} is \"${actual}\", not \"${expected}\"")
  endif()
endfunction()

# What the store uses: the key below the root, and the two switches it saves
# as REG_DWORD (activity logging on the machine's key, the filter on the user's).
file(READ ${STORE} store)
string(REGEX MATCH "KeyRoot = L\"([^\"]+)\"" _ "${store}")
set(root "${CMAKE_MATCH_1}")
string(REGEX MATCH "Subkey = L\"([^\"]+)\"" _ "${store}")
string(REPLACE "\\\\" "\\" subkey "${CMAKE_MATCH_1}")
set(key "${root}\\${subkey}")
set(switch_pattern "\\(([A-Za-z]+)Key\\(\\), L\"([a-z]+)\", Variant\\(std::int32_t\\{on\\}\\), kRegDwordType\\)")
string(REGEX MATCHALL "${switch_pattern}" switches "${store}")
foreach(switch ${switches})
  string(REGEX MATCH "${switch_pattern}" _ "${switch}")
  set(${CMAKE_MATCH_1}_value "${CMAKE_MATCH_2}")
endforeach()
if(NOT root OR NOT subkey OR NOT Machine_value OR NOT User_value)
  message(FATAL_ERROR "the store's key or switches were not found in ${STORE}")
endif()

set(policy "//*[local-name()='policy']")
foreach(class Machine User)
  set(p "${policy}[@class='${class}']")
  expect(${ADMX} "count(${p})" 1)
  expect(${ADMX} "${p}/@key" "${key}")
  expect(${ADMX} "${p}/@valueName" "${${class}_value}")
  expect(${ADMX} "${p}/*[local-name()='enabledValue']/*[local-name()='decimal']/@value" 1)
  expect(${ADMX} "${p}/*[local-name()='disabledValue']/*[local-name()='decimal']/@value" 0)
endforeach()

# The 32-bit programs read HKLM\Software in its 32-bit view on 64-bit Windows.
string(REPLACE "${root}\\" "${root}\\WOW6432Node\\" wow_key "${key}")
foreach(list enabledList:1 disabledList:0)
  string(REPLACE ":" ";" list "${list}")
  list(GET list 0 name)
  list(GET list 1 value)
  set(item "${policy}[@class='Machine']/*[local-name()='${name}']/*[local-name()='item']")
  expect(${ADMX} "count(${item})" 1)
  expect(${ADMX} "${item}/@key" "${wow_key}")
  expect(${ADMX} "${item}/@valueName" "${Machine_value}")
  expect(${ADMX} "${item}//*[local-name()='decimal']/@value" ${value})
endforeach()

file(READ ${ADMX} admx)
string(REGEX MATCHALL "\\$\\(string\\.[A-Za-z0-9_]+\\)" used "${admx}")
list(REMOVE_DUPLICATES used)
foreach(reference ${used})
  string(REGEX REPLACE "^\\$\\(string\\.(.*)\\)$" "\\1" id "${reference}")
  expect(${ADML} "count(//*[local-name()='string'][@id='${id}'])" 1)
endforeach()
list(LENGTH used strings)
message(STATUS "Policy templates: ${key} ${Machine_value} (machine), ${User_value} (user), "
  "${strings} strings")
