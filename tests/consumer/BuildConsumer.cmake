# Installs the built library into a scratch prefix, then configures, builds and
# runs a consumer that only knows the installed package.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
function(run)
    execute_process(COMMAND ${ARGV} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${ARGV}")
    endif()
endfunction()
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
# Each Qt's package has names of its own, so both install into one prefix side by side.
string(REPLACE ItemViews ItemViewsPlatform platform ${PACKAGE})
foreach(file lib/lib${PACKAGE}.so lib/lib${platform}.so include/${PACKAGE}/zTreeItemModel.h
        lib/cmake/${PACKAGE}/${PACKAGE}ConfigVersion.cmake)
    if(NOT EXISTS ${prefix}/${file})
        message(FATAL_ERROR "${PACKAGE} installed no ${file}")
    endif()
endforeach()
run(${CMAKE_COMMAND} -S ${CONSUMER_SOURCE_DIR} -B ${WORK_DIR}/build -G ${GENERATOR} -DPACKAGE=${PACKAGE}
    -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM} -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)
