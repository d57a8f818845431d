# Installs the Khronos glTF validator from npm into the build folder (a test
# fixture runs it): cmake -DNPM=... -DPREFIX=... -DVERSION=... -P this file.
if(EXISTS "${PREFIX}/node_modules/gltf-validator/package.json")
  file(READ "${PREFIX}/node_modules/gltf-validator/package.json" package)
  string(JSON installed GET "${package}" version)
  if(installed STREQUAL VERSION)
    message(STATUS "gltf-validator ${VERSION} is installed in ${PREFIX}")
    return()
  endif()
endif()
if(NOT NPM)
  message(FATAL_ERROR "npm is missing: .ci/ensure-packages installs it")
endif()
execute_process(
  COMMAND "${NPM}" install --prefix "${PREFIX}" --no-audit --no-fund --no-save "gltf-validator@${VERSION}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "npm could not install gltf-validator ${VERSION} into ${PREFIX}")
endif()
