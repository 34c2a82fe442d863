# The layers and what each may include, lowest first. An include of a project
# header from a folder not listed for the including folder fails the configure
# step, naming the file and the include.
set(qorv_layer_link link)
set(qorv_layer_firmware firmware link)
set(qorv_layer_config config link)
set(qorv_layer_text text firmware link)
set(qorv_layer_core core text config firmware link)
set(qorv_layer_sim sim config firmware link)
set(qorv_layer_ui ui core text config firmware link)
set(qorv_layer_cli cli core text config firmware link)
set(qorv_layer_app app ui cli sim core text config firmware link)
# Tests and fuzz targets build programs of their own: anything but the composition root.
set(qorv_layer_tests tests ui cli sim core text config firmware link)
set(qorv_layer_fuzz fuzz sim cli core text config firmware link)

# Headers a layer may not include although their folder is below it. The
# command line reads files through config/ and firmware/, but reaches the
# router and the update only through the session.
set(qorv_closed_cli config/config_exchange.h config/config_request.h link/device_link.h link/hid_port.h
    link/boot_loader.h link/boot_frame.h firmware/update_sequence.h)
# The texts word what the update reports (firmware_check.h, update_types.h) and
# need none of its machinery; nor does the status the session publishes.
set(qorv_closed_text firmware/update_sequence.h firmware/hex_manager.h firmware/flash_map.h link/boot_loader.h
    link/boot_frame.h link/device_link.h link/hid_port.h)

set(qorv_wrong_way "")
foreach(layer link firmware config text core sim ui cli app tests fuzz)
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${layer}/*.h" "${CMAKE_CURRENT_SOURCE_DIR}/${layer}/*.cpp")
    foreach(source ${sources})
        file(STRINGS ${source} includes REGEX "^#include \"[a-z_]+/")
        foreach(line ${includes})
            string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" target "${line}")
            string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
            file(RELATIVE_PATH from ${CMAKE_CURRENT_SOURCE_DIR} ${source})
            if(NOT target IN_LIST qorv_layer_${layer} OR header IN_LIST qorv_closed_${layer}
               OR (from STREQUAL "core/router_status.h" AND header IN_LIST qorv_closed_text))
                file(RELATIVE_PATH shown ${CMAKE_CURRENT_SOURCE_DIR} ${source})
                list(APPEND qorv_wrong_way "${shown}: ${line}")
            endif()
        endforeach()
    endforeach()
endforeach()
if(qorv_wrong_way)
    list(JOIN qorv_wrong_way "\n  " shown)
    message(FATAL_ERROR "Includes that run the wrong way between layers:\n  ${shown}")
endif()
