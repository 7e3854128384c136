# One place for the language standard, the warnings and Qt's safety defines.
add_library(velt_common INTERFACE)
target_compile_features(velt_common INTERFACE cxx_std_20)
target_compile_options(velt_common INTERFACE -Wall -Wextra)
target_compile_definitions(velt_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_KEYWORDS)
target_include_directories(velt_common INTERFACE ${PROJECT_SOURCE_DIR})

if(WITH_ASAN)
    target_compile_options(velt_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
    target_link_options(velt_common INTERFACE -fsanitize=address,undefined)
endif()
