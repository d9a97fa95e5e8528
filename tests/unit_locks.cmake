# Read by CTest once the unit cases are listed (vlr_unit_tests_TESTS): cases that share
# something outside their own process must not run at the same time.
foreach(test IN LISTS vlr_unit_tests_TESTS)
  # Downloads: under Wine they go through the internet cache of the whole prefix (two first
  # starts at once in a fresh wineserver once left both processes hanging).
  if(test MATCHES "^unit\\.(FirstStartTest|StartMode|Downloads)\\.")
    set_tests_properties(${test} PROPERTIES RESOURCE_LOCK url_cache)
  endif()
endforeach()
