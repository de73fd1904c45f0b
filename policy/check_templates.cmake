# cmake -DXMLLINT=... -DADMX=... -DADML=... -DSTORE=settings_store.cpp -DHELD=held_store.h
#       -P check_templates.cmake
# Fails unless both templates are well-formed, the .adml defines every string
# the .admx uses, each switch policy writes the value name and type
# (REG_DWORD through <decimal>, 1 on and 0 off) of the store's switch under
# the policy key the store reads, the accounts policy is a list in the
# store's accounts subkey, and nothing is written outside the policy key.

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

# The two switches the store saves as REG_DWORD (activity logging on the
# machine's key, the filter on the user's): a policy holds the same names.
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

# Where the store reads Group Policy: the policy key and its subkey of
# filtered accounts.
file(READ ${HELD} held)
foreach(name Policy PolicyAccounts)
  string(REGEX MATCH "k${name}Path\\[\\] = L\"([^\"]+)\"" _ "${held}")
  string(REPLACE "\\\\" "\\" ${name}_key "${CMAKE_MATCH_1}")
  if(NOT ${name}_key)
    message(FATAL_ERROR "k${name}Path was not found in ${HELD}")
  endif()
endforeach()

set(policy "//*[local-name()='policy']")
foreach(class Machine User)
  set(p "${policy}[@class='${class}'][@valueName]")
  expect(${ADMX} "count(${p})" 1)
  expect(${ADMX} "${p}/@key" "${Policy_key}")
  expect(${ADMX} "${p}/@valueName" "${${class}_value}")
  expect(${ADMX} "${p}/*[local-name()='enabledValue']/*[local-name()='decimal']/@value" 1)
  expect(${ADMX} "${p}/*[local-name()='disabledValue']/*[local-name()='decimal']/@value" 0)
endforeach()

# The filtered accounts: a list of the machine, one value per account whose
# name the administrator types (explicitValue), in the store's subkey.
set(list "${policy}[@class='Machine']//*[local-name()='list']")
expect(${ADMX} "count(${list})" 1)
expect(${ADMX} "${list}/@key" "${PolicyAccounts_key}")
expect(${ADMX} "${list}/@explicitValue" "true")
expect(${ADMX} "count(${list}/@additive)" 0)

# Real policies: nothing is written outside the policy key, so that removing
# a policy removes its effect.
string(LENGTH "${Policy_key}" policy_length)
xpath(keys ${ADMX} "count(//@key)")
foreach(i RANGE 1 ${keys})
  xpath(k ${ADMX} "(//@key)[${i}]")
  string(SUBSTRING "${k}" 0 ${policy_length} start)
  if(NOT start STREQUAL "${Policy_key}")
    message(FATAL_ERROR "${ADMX}: the key ${k} lies outside ${Policy_key}")
  endif()
endforeach()

file(READ ${ADMX} admx)
string(REGEX MATCHALL "\\$\\(string\\.[A-Za-z0-9_]+\\)" used "${admx}")
list(REMOVE_DUPLICATES used)
foreach(reference ${used})
  string(REGEX REPLACE "^\\$\\(string\\.(.*)\\)$" "\\1" id "${reference}")
  expect(${ADML} "count(//*[local-name()='string'][@id='${id}'])" 1)
endforeach()
list(LENGTH used strings)
message(STATUS "Policy templates: ${Policy_key} ${Machine_value} (machine), ${User_value} "
  "(user), ${PolicyAccounts_key} (accounts), ${strings} strings")
