# Build speed, without changing what is built.
#
# lld links the many test executables several times faster than the default linker. Where it is
# missing (another distribution, another compiler), the default linker is used.
include(CheckLinkerFlag)
option(DOSETTA_LLD "Link with lld where the compiler can use it" ON)
if(DOSETTA_LLD)
    check_linker_flag(CXX -fuse-ld=lld DOSETTA_HAVE_LLD)
    if(DOSETTA_HAVE_LLD)
        add_link_options(-fuse-ld=lld)
    endif()
endif()

# Precompiled headers: most of the time of a compile is spent in Qt's headers. One header set
# per layer kind, each compiled once and reused by every target of that kind. A target keeps its
# own includes, so code that compiles here also compiles without them (DOSETTA_PCH=OFF).
option(DOSETTA_PCH "Precompile the Qt headers" ON)

# dosetta_pch(<kind> <targets...>): <kind> is core (QtCore and the serial port, for the layers
# below the window), window (adds QtWidgets), test (core and QtTest), windowtest (window and
# QtTest) or networktest (test and QtNetwork). A precompiled set holds only where the macros its
# headers test are the same, and QtTest's headers look at QT_WIDGETS_LIB and QT_NETWORK_LIB.
function(dosetta_pch kind)
    if(NOT DOSETTA_PCH)
        return()
    endif()
    set(holder dosetta_pch_${kind})
    if(NOT TARGET ${holder})
        set(headers <QByteArray> <QDateTime> <QHash> <QList> <QMap> <QObject> <QPointer>
            <QSerialPort> <QString> <QStringList> <QTimer> <QVariant> <QVector>
            <algorithm> <functional> <map> <memory> <optional> <vector>)
        set(libs Qt5::Core Qt5::SerialPort)
        if(kind MATCHES "window")
            list(APPEND headers <QtWidgets>)
            list(APPEND libs Qt5::Widgets)
        endif()
        if(kind MATCHES "network")
            list(APPEND headers <QtNetwork>)
            list(APPEND libs Qt5::Network)
        endif()
        if(kind MATCHES "test")
            list(APPEND headers <QtTest> <QSignalSpy>)
            list(APPEND libs Qt5::Test)
        endif()
        set(stub ${PROJECT_BINARY_DIR}/pch/${holder}.cpp)
        if(NOT EXISTS ${stub})
            file(WRITE ${stub} "// Holds the precompiled headers its kind of target reuses.\n")
        endif()
        add_library(${holder} OBJECT ${stub})
        set_target_properties(${holder} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
        target_link_libraries(${holder} PRIVATE ${libs})
        target_precompile_headers(${holder} PRIVATE ${headers})
    endif()
    # GCC takes a precompiled set only where every macro it was made with is defined: the
    # targets link the same Qt modules as its holder.
    get_target_property(libs ${holder} LINK_LIBRARIES)
    foreach(target ${ARGN})
        target_link_libraries(${target} PRIVATE ${libs})
        target_precompile_headers(${target} REUSE_FROM ${holder})
    endforeach()
endfunction()

# dosetta_links_module(<result> <module> <libraries...>): whether any of the libraries brings in
# the module (Qt5::Widgets, say), directly or through the libraries it links.
function(dosetta_links_module result module)
    set(found FALSE)
    set(pending ${ARGN})
    set(seen)
    while(pending AND NOT found)
        list(POP_FRONT pending lib)
        if(lib IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${lib})
        if(lib STREQUAL module)
            set(found TRUE)
        elseif(TARGET ${lib})
            get_target_property(imported ${lib} IMPORTED)
            if(NOT imported)
                get_target_property(direct ${lib} LINK_LIBRARIES)
                if(direct)
                    list(APPEND pending ${direct})
                endif()
            endif()
            get_target_property(interface ${lib} INTERFACE_LINK_LIBRARIES)
            if(interface)
                list(APPEND pending ${interface})
            endif()
        endif()
    endwhile()
    set(${result} ${found} PARENT_SCOPE)
endfunction()
