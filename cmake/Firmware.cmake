# Firmware images: the project's image maker, the default images, and embedding images into an
# executable as resources 112 (Target) and 319 (Transition).

set(ZEB_DEFAULT_IMAGE_SIZE 759100)
set(ZEB_DEFAULT_IMAGE_TAG "KoRvAnE FiRmWaRe")
set(ZEB_DEFAULT_IMAGE_VERSION "3.1.24.0710")

set(ZEB_FIRMWARE_DIR "${CMAKE_BINARY_DIR}/firmware")
file(MAKE_DIRECTORY "${ZEB_FIRMWARE_DIR}")

# The image maker runs on the build machine. A cross build compiles it with the host compiler
# while configuring; a native build builds it as a normal target.
if(CMAKE_CROSSCOMPILING)
    find_program(ZEB_HOST_CXX NAMES g++ c++ clang++ REQUIRED)
    set(ZEB_MKIMAGE "${CMAKE_BINARY_DIR}/host/zebmkimage")
    file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/host")
    execute_process(
        COMMAND "${ZEB_HOST_CXX}" -std=c++20 -O2 -o "${ZEB_MKIMAGE}"
                "${CMAKE_SOURCE_DIR}/resources/make_firmware_image.cpp"
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "could not build the image maker with ${ZEB_HOST_CXX}")
    endif()
    set(ZEB_MKIMAGE_DEPENDS "")
else()
    add_executable(zebmkimage resources/make_firmware_image.cpp)
    set(ZEB_MKIMAGE $<TARGET_FILE:zebmkimage>)
    set(ZEB_MKIMAGE_DEPENDS zebmkimage)
endif()

# zeb_make_image(<output file> TAG <tag> VERSION <version> SIZE <bytes> [SEED <n>])
# Adds a build step that writes a deterministic test image.
function(zeb_make_image output)
    cmake_parse_arguments(ARG "" "TAG;VERSION;SIZE;SEED" "" ${ARGN})
    if(NOT ARG_SEED)
        set(ARG_SEED 1)
    endif()
    add_custom_command(
        OUTPUT "${output}"
        COMMAND ${ZEB_MKIMAGE} --tag "${ARG_TAG}" --version "${ARG_VERSION}"
                --size ${ARG_SIZE} --seed ${ARG_SEED} --output "${output}"
        DEPENDS ${ZEB_MKIMAGE_DEPENDS}
        COMMENT "Making firmware image ${output}"
        VERBATIM)
endfunction()

# zeb_default_images(<target var> <transition var>): the images the build options choose.
# Without ZEB_TARGET_IMAGE the project's default image is made at build time.
function(zeb_default_images target_var transition_var)
    if(ZEB_TARGET_IMAGE)
        set(target "${ZEB_TARGET_IMAGE}")
    else()
        set(target "${ZEB_FIRMWARE_DIR}/target.bin")
        zeb_make_image("${target}" TAG "${ZEB_DEFAULT_IMAGE_TAG}"
                       VERSION "${ZEB_DEFAULT_IMAGE_VERSION}" SIZE ${ZEB_DEFAULT_IMAGE_SIZE})
    endif()
    set(${target_var} "${target}" PARENT_SCOPE)
    set(${transition_var} "${ZEB_TRANSITION_IMAGE}" PARENT_SCOPE)
endfunction()

# zeb_add_firmware_resources(<name> TARGET <image> [TRANSITION <image>])
# An object library that embeds the images and fixes the starting stage: Target for a
# single-stage build, Transition when a Transition image is given.
function(zeb_add_firmware_resources name)
    cmake_parse_arguments(ARG "" "TARGET;TRANSITION" "" ${ARGN})
    if(ARG_TRANSITION)
        set(ZEB_INITIAL_STAGE 0)
        set(ZEB_HAS_TRANSITION 1)
    else()
        set(ZEB_INITIAL_STAGE 1)
        set(ZEB_HAS_TRANSITION 0)
    endif()
    set(ZEB_RESOURCE_NAME ${name})
    set(ZEB_TARGET_PATH "${ARG_TARGET}")
    set(ZEB_TRANSITION_PATH "${ARG_TRANSITION}")
    set(ZEB_TRANSITION_ASM "")
    if(ARG_TRANSITION)
        string(CONCAT ZEB_TRANSITION_ASM
            "zebfw_${name}_transition_begin:\n"
            "    .incbin \"${ARG_TRANSITION}\"\n"
            "zebfw_${name}_transition_end:")
    endif()
    set(source "${CMAKE_BINARY_DIR}/generated/${name}.cpp")
    set(images "${ARG_TARGET}")
    if(ARG_TRANSITION)
        list(APPEND images "${ARG_TRANSITION}")
    endif()
    if(WIN32)
        # Windows carries the images as resources of type "ZEB_FIRMWARE" beside the two icons;
        # the generated source only fixes the starting stage.
        configure_file("${CMAKE_SOURCE_DIR}/resources/firmware_win32.cpp.in" "${source}" @ONLY)
        set(ZEB_ADAPTER_ICON "${CMAKE_SOURCE_DIR}/resources/icons/adapter.ico")
        set(ZEB_TELEPHONE_ICON "${CMAKE_SOURCE_DIR}/resources/icons/telephone.ico")
        set(ZEB_TRANSITION_RC "")
        if(ARG_TRANSITION)
            set(ZEB_TRANSITION_RC "319 ZEB_FIRMWARE \"${ARG_TRANSITION}\"")
        endif()
        set(script "${CMAKE_BINARY_DIR}/generated/${name}.rc")
        configure_file("${CMAKE_SOURCE_DIR}/resources/zebupgrade.rc.in" "${script}" @ONLY)
        set_source_files_properties("${script}" PROPERTIES OBJECT_DEPENDS
            "${images};${ZEB_ADAPTER_ICON};${ZEB_TELEPHONE_ICON}")
        add_library(${name} OBJECT "${source}" "${script}")
    else()
        configure_file("${CMAKE_SOURCE_DIR}/resources/firmware_posix.cpp.in" "${source}" @ONLY)
        set_source_files_properties("${source}" PROPERTIES OBJECT_DEPENDS "${images}")
        add_library(${name} OBJECT "${source}")
    endif()
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
    add_custom_target(${name}_images DEPENDS ${images})
    add_dependencies(${name} ${name}_images)
    set_property(TARGET ${name} PROPERTY ZEB_IMAGES "${images}")
endfunction()
