# The console program Pellmora: its windows and update check as a library that the tests link,
# and the program itself with the icon 132. Beside Pellmora.exe the build puts Veneer_u.dll and
# the skins folder Res (from skins/console), as an installation has them.
add_library(pellmora_app STATIC
  CaptionHitTest.cpp
  ConsoleEvents.cpp
  ConsoleGlobals.cpp
  ConsolePages.cpp
  ControlAccess.cpp
  DlgActivity.cpp
  DlgBase.cpp
  DlgLogin.cpp
  IdCardRecord.cpp
  MainFrameWnd.cpp
  MessageBoxExWnd.cpp
  PeriodicThread.cpp
  PlayerInfoDlg.cpp
  Tollvane.cpp)
target_include_directories(pellmora_app PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(pellmora_app PUBLIC VENEER_USE_DLL
  PRIVATE TOLLVANE_UPDATE_HOST="${TOLLVANE_UPDATE_HOST}")
target_link_libraries(pellmora_app PUBLIC pellmora_core Veneer_u wke_webkit_ui)

set(pellmora_icon ${CMAKE_CURRENT_BINARY_DIR}/Pellmora.ico)
add_custom_command(OUTPUT ${pellmora_icon}
  COMMAND python3 ${CMAKE_SOURCE_DIR}/skins/draw_console_images.py --ico ${pellmora_icon}
  DEPENDS ${CMAKE_SOURCE_DIR}/skins/draw_console_images.py ${CMAKE_SOURCE_DIR}/skins/draw_updater_images.py)
set_source_files_properties(Pellmora.rc PROPERTIES OBJECT_DEPENDS ${pellmora_icon})

add_executable(Pellmora WIN32 Pellmora.cpp Pellmora.rc)
target_include_directories(Pellmora PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
target_link_libraries(Pellmora PRIVATE pellmora_app)
target_link_options(Pellmora PRIVATE -municode)

# The console's events written to the file PELLMORA_TEST_TRACE names: for the tests only.
add_library(pellmora_trace STATIC ConsoleTraceWriter.cpp)
target_include_directories(pellmora_trace PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(pellmora_trace PUBLIC pellmora_app)

# The same program with its test hooks (the trace): only the tests run it; the shipped one has none.
add_executable(Pellmora_testhooks WIN32 Pellmora.cpp Pellmora.rc)
target_compile_definitions(Pellmora_testhooks PRIVATE PELLMORA_TEST_HOOKS)
target_include_directories(Pellmora_testhooks PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
target_link_libraries(Pellmora_testhooks PRIVATE pellmora_trace pellmora_app)
target_link_options(Pellmora_testhooks PRIVATE -municode)

# The installation beside the program: the framework's DLL and the skins.
file(GLOB_RECURSE pellmora_skin_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/skins/console/*)
set(pellmora_res_stamp ${CMAKE_CURRENT_BINARY_DIR}/Res.stamp)
add_custom_command(OUTPUT ${pellmora_res_stamp}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_CURRENT_BINARY_DIR}/Res
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/skins/console ${CMAKE_CURRENT_BINARY_DIR}/Res
  COMMAND ${CMAKE_COMMAND} -E touch ${pellmora_res_stamp}
  DEPENDS ${pellmora_skin_files})
add_custom_target(pellmora_res ALL DEPENDS ${pellmora_res_stamp})
add_custom_command(TARGET Pellmora POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Veneer_u> ${CMAKE_CURRENT_BINARY_DIR})
add_dependencies(Pellmora pellmora_res)
add_dependencies(Pellmora_testhooks pellmora_res)
