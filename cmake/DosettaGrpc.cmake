# gRPC and protobuf from the distribution, through pkg-config, with their code generators.
pkg_check_modules(Grpcpp REQUIRED IMPORTED_TARGET grpc++)
pkg_check_modules(Protobuf REQUIRED IMPORTED_TARGET protobuf)
find_program(DOSETTA_PROTOC protoc REQUIRED)
find_program(DOSETTA_GRPC_CPP_PLUGIN grpc_cpp_plugin REQUIRED)

# dosetta_grpc_library(<name> PROTOS <files...>): the messages and services of the .proto files,
# generated into the build tree and compiled into a static library. The files import each other
# by bare name, so they share one folder. Generated code is not ours: it is compiled without our
# warning flags, and its headers are system headers to whoever includes them.
function(dosetta_grpc_library name)
    cmake_parse_arguments(ARG "" "" "PROTOS" ${ARGN})
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${name})
    file(MAKE_DIRECTORY ${out})
    set(sources)
    set(protos)
    foreach(proto ${ARG_PROTOS})
        get_filename_component(absolute ${proto} ABSOLUTE)
        get_filename_component(folder ${absolute} DIRECTORY)
        get_filename_component(base ${proto} NAME_WE)
        list(APPEND protos ${absolute})
        list(APPEND sources ${out}/${base}.pb.cc ${out}/${base}.pb.h ${out}/${base}.grpc.pb.cc
            ${out}/${base}.grpc.pb.h)
    endforeach()
    add_custom_command(OUTPUT ${sources}
        COMMAND ${DOSETTA_PROTOC} --proto_path=${folder} --cpp_out=${out} --grpc_out=${out}
            --plugin=protoc-gen-grpc=${DOSETTA_GRPC_CPP_PLUGIN} ${protos}
        DEPENDS ${protos}
        COMMENT "Generating the gRPC code of ${name}"
        VERBATIM)
    add_library(${name} STATIC ${sources})
    set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF
        POSITION_INDEPENDENT_CODE ON)
    get_target_property(options ${name} COMPILE_OPTIONS)
    if(options)
        list(REMOVE_ITEM options -Wall -Wextra)
        set_target_properties(${name} PROPERTIES COMPILE_OPTIONS "${options}")
    endif()
    target_include_directories(${name} SYSTEM PUBLIC ${out})
    target_link_libraries(${name} PUBLIC PkgConfig::Grpcpp PkgConfig::Protobuf)
endfunction()
