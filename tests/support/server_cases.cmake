# Registers each case of the "*OnServer" suites of a test executable once on
# each server, and those of the "*OnJack" suites on each JACK server (jackd,
# PipeWire): run after the executable is built, it lists the cases and writes
# the CTest file that the test directory includes.
#
#   cmake -D executable=PATH -D prefix=NAME. -D servers=FILE -D output=FILE -P server_cases.cmake

include(${servers})
execute_process(COMMAND ${executable} --gtest_list_tests --gtest_filter=*OnServer.*:*OnJack.*
                OUTPUT_VARIABLE listing RESULT_VARIABLE failed TIMEOUT 60)
if(failed)
    message(FATAL_ERROR "${executable} did not list its tests: ${failed}")
endif()

set(text "")
string(REPLACE "\n" ";" lines "${listing}")
foreach(line IN LISTS lines)
    if(line MATCHES "^([A-Za-z0-9_]+On(Server|Jack))\\.$")
        set(suite ${CMAKE_MATCH_1})
        set(on ${servers})
        if(CMAKE_MATCH_2 STREQUAL "Jack")
            list(REMOVE_ITEM on alsa)
        endif()
    elseif(line MATCHES "^  ([A-Za-z0-9_]+)" AND suite)
        set(case ${CMAKE_MATCH_1})
        foreach(server IN LISTS on)
            set(name "${prefix}${suite}.${case}.${server}")
            string(APPEND text
                "add_test([==[${name}]==] ${launcher_${server}} [==[${executable}]==] "
                "[==[--gtest_filter=${suite}.${case}]==])\n"
                "set_tests_properties([==[${name}]==] PROPERTIES "
                "ENVIRONMENT [==[${environment_${server}}]==] LABELS [==[realserver;${server}]==] "
                "TIMEOUT 120 SKIP_REGULAR_EXPRESSION [==[\\[  SKIPPED \\]]==])\n")
        endforeach()
    endif()
endforeach()
file(WRITE ${output} "${text}")
