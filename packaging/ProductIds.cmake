# The USB ids the udev rule and the AppStream metadata name, read from the headers that hold them for
# the program, so that replacing a product constant there changes the package too.
function(dalvora_read_constant header pattern out)
    file(STRINGS "${header}" lines REGEX "${pattern}")
    if(NOT lines MATCHES "${pattern}")
        message(FATAL_ERROR "${header}: no line matches ${pattern}")
    endif()
    string(TOLOWER "${CMAKE_MATCH_1}" value)
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

set(product_ids ${PROJECT_SOURCE_DIR}/transport/ProductIds.h)
dalvora_read_constant(${product_ids} "kVendorId = 0x([0-9a-fA-F]+)" vendor)
string(LENGTH "${vendor}" length)
math(EXPR pad "4 - ${length}")
string(REPEAT "0" ${pad} zeros)
set(DALVORA_VENDOR_ID "${zeros}${vendor}")
dalvora_read_constant(${PROJECT_SOURCE_DIR}/upgrade/UpgradeModeU2U4.h "kBootVendorId = \"([0-9a-fA-F]+)\""
    DALVORA_RENESAS_BOOT_VENDOR_ID)
dalvora_read_constant(${PROJECT_SOURCE_DIR}/upgrade/UpgradeModeU6.h "kBootVendorId = \"([0-9a-fA-F]+)\""
    DALVORA_SILABS_BOOT_VENDOR_ID)

file(STRINGS ${product_ids} prefix_line REGEX "kScannerPidPrefixes")
string(REGEX MATCHALL "\"[0-9a-fA-F][0-9a-fA-F]\"" prefixes "${prefix_line}")
if(NOT prefixes)
    message(FATAL_ERROR "${product_ids}: no scanner product-id prefixes found")
endif()
set(DALVORA_SCANNER_RULES "")
foreach(quoted IN LISTS prefixes)
    string(REPLACE "\"" "" prefix "${quoted}")
    string(TOLOWER "${prefix}" prefix)
    set(device "ATTR{idVendor}==\"${DALVORA_VENDOR_ID}\", ATTR{idProduct}==\"${prefix}??\"")
    string(APPEND DALVORA_SCANNER_RULES "${device}, ATTR{bDeviceClass}==\"ff\", TAG+=\"uaccess\"\n"
        "${device}, ENV{ID_USB_INTERFACES}==\"*:ff????:*\", TAG+=\"uaccess\"\n")
endforeach()
