# Offscreen tests of the encrypt and decrypt commands (included by CMakeLists.txt).
if(CIPHRA_BUILD_GUI)
  set(CMAKE_AUTOMOC ON)
  add_library(ciphra_file_command_bench STATIC file_command_bench.cpp)
  target_link_libraries(ciphra_file_command_bench PUBLIC ciphra_fileenc_commands
                        ciphra_test_files Qt6::Test PRIVATE ciphra_warnings)

  foreach(name test_encrypt_command test_decrypt_command)
    add_executable(${name} ${name}.cpp)
    target_link_libraries(${name} PRIVATE ciphra_file_command_bench ciphra_warnings)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endforeach()
  # The self-decrypting programs of the tests are made from the stub as built.
  target_compile_definitions(test_encrypt_command PRIVATE
                             CIPHRA_STUB_FILE="$<TARGET_FILE:sfdstub>")
  add_dependencies(test_encrypt_command sfdstub)
endif()

# The same commands wired into the real main window.
if(CIPHRA_BUILD_GUI)
  add_executable(test_file_commands_window test_file_commands_window.cpp)
  target_link_libraries(test_file_commands_window PRIVATE ciphra_file_command_bench
                        ciphra_mainwindow ciphra_warnings)
  add_test(NAME test_file_commands_window COMMAND test_file_commands_window)
  set_tests_properties(test_file_commands_window PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
