@echo off
rem Install command for Intune and Configuration Manager:
rem     cmd.exe /c install.cmd
rem Keeps a copy of the package on the machine, since the detection script
rem (detect.ps1) verifies the machine against the package files, and installs
rem quietly from that copy. The exit code is Deployator's: 0, 3010, 1603,
rem 1618 or 1639 (1603 as well when the copy fails).
setlocal
set "APP=ExampleApp"
set "KEEP=%ProgramData%\Deployator\%APP%"
set "LOGS=%ProgramData%\Deployator\Logs"
if not exist "%LOGS%" mkdir "%LOGS%"

rem Robocopy's codes 8 and above are failures.
robocopy "%~dp0." "%KEEP%" /MIR /R:2 /W:5 /NP /NJH /NJS /NFL /NDL >nul
if errorlevel 8 exit /b 1603

rem No quotes around option values: a value runs to the next " -".
start "" /wait "%KEEP%\deployator.exe" -C=%KEEP%\setup.ini -QUIET -ROLLBACK -LF=%LOGS%\%APP%.log
exit /b %ERRORLEVEL%
