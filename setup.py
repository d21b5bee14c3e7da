"""Builds the compiled module with the project's CMake (only the package and the libraries
beneath it) and installs it with the pure-Python part; pyproject.toml has the metadata."""

import os
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = os.path.dirname(os.path.abspath(__file__))


class CMakeBuild(build_ext):
    def build_extension(self, extension):
        build_dir = os.path.abspath(os.path.join(self.build_temp, "cmake"))
        subprocess.run(
            ["cmake", "-S", SOURCE, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release",
             "-DCPU_WIDGET_PYTHON_ONLY=ON", f"-DPython3_EXECUTABLE={sys.executable}"],
            check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        subprocess.run(["cmake", "--build", build_dir, "--target", "_cpuwidget", "-j", jobs],
                       check=True)
        package = os.path.join(build_dir, "python", "cpuwidget")
        built = [name for name in os.listdir(package) if name.startswith("_cpuwidget.")]
        if len(built) != 1:
            sys.exit(f"the build left {built} in {package}; expected one _cpuwidget module")
        target = self.get_ext_fullpath(extension.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(os.path.join(package, built[0]), target)


setup(
    packages=["cpuwidget"],
    package_dir={"": "python"},
    ext_modules=[Extension("cpuwidget._cpuwidget", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
)
