# +--------------------------------------------------------------------------+
# | delay_load.cmake                                                         |
# | Delay-loaded imports for the Windows program. A DLL that is not one of   |
# | Windows' known DLLs is looked for in the program's own folder first when |
# | the image loads, before any code of ours could set a search policy, and  |
# | the program runs from wherever it was downloaded to. Delay-loaded, such  |
# | a DLL is first loaded by our first call into it, after wWinMain has      |
# | limited the search to the system folder.                                 |
# |                                                                          |
# |   vlr_delay_load(target dll...)                                          |
# |                                                                          |
# | makes a delay-import library of every export of each DLL's import        |
# | library (dlltool --output-delaylib) and links it in front of the         |
# | ordinary one, so the linker takes every symbol from it. A DLL that the   |
# | toolchain has no import library for is described by cmake/<dll>.def: the |
# | functions we call, and no others.                                        |
# +--------------------------------------------------------------------------+

function(vlr_delay_load target)
  find_program(VLR_NM NAMES x86_64-w64-mingw32-nm REQUIRED)
  find_program(VLR_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
  set(folder "${CMAKE_BINARY_DIR}/delay-load")
  file(MAKE_DIRECTORY "${folder}")
  foreach(dll IN LISTS ARGN)
    set(library "${folder}/lib${dll}_delay.a")
    if(EXISTS "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${dll}.def")
      execute_process(COMMAND "${VLR_DLLTOOL}" --input-def "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${dll}.def"
                              --dllname "${dll}.dll" --output-delaylib "${library}"
                      COMMAND_ERROR_IS_FATAL ANY)
      target_link_libraries(${target} PRIVATE "${library}")
      continue()
    endif()
    find_library(VLR_IMPORT_${dll} NAMES "lib${dll}.a" REQUIRED NO_CACHE)
    execute_process(COMMAND "${VLR_NM}" -g "${VLR_IMPORT_${dll}}" OUTPUT_VARIABLE symbols
                    COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL " I __imp_[A-Za-z0-9_@?]+" imports "${symbols}")
    set(def "LIBRARY ${dll}.dll\nEXPORTS\n")
    foreach(import IN LISTS imports)
      string(REPLACE " I __imp_" "" name "${import}")
      string(APPEND def "${name}\n")
    endforeach()
    file(WRITE "${folder}/${dll}.def" "${def}")
    execute_process(COMMAND "${VLR_DLLTOOL}" --input-def "${folder}/${dll}.def" --dllname "${dll}.dll"
                            --output-delaylib "${library}"
                    COMMAND_ERROR_IS_FATAL ANY)
    target_link_libraries(${target} PRIVATE "${library}")
  endforeach()
endfunction()
