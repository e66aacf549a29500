# Detection script for Intune (Win32 app, "Use a custom detection script") and
# Configuration Manager (deployment type, detection method "Use a custom
# script", PowerShell).
#
# Both tools read a detection script the same way: exit code 0 with output on
# STDOUT means installed, exit code 0 without output means not installed, any
# other exit code means the detection itself failed.
#
# deployator.exe -VERIFY=path reads the installation script as a run does,
# changes nothing, writes every difference to the report and ends with
#   0     the machine matches the script
#   1     it does not (the report names each difference)
#   1603  the script could not be read
#   1639  invalid command line
#
# The paths are those of install.cmd, which keeps the package on the machine.

$App     = 'ExampleApp'
$Package = Join-Path $env:ProgramData "Deployator\$App"
$Logs    = Join-Path $env:ProgramData 'Deployator\Logs'
$Exe     = Join-Path $Package 'deployator.exe'
$Report  = Join-Path $Logs "$App-verify.tsv"

# Never installed (or its copy removed): not detected.
if (-not (Test-Path -LiteralPath $Exe)) { exit 0 }
if (-not (Test-Path -LiteralPath $Logs)) { New-Item -ItemType Directory -Path $Logs -Force | Out-Null }

# The process is started and waited for itself (not Start-Process -Wait,
# which also waits for every program the run may have left running). No
# quotes around option values: a value runs to the next " -".
$info = New-Object System.Diagnostics.ProcessStartInfo
$info.FileName = $Exe
$info.Arguments = "-C=$Package\setup.ini -VERIFY=$Report"
$info.UseShellExecute = $false
$process = [System.Diagnostics.Process]::Start($info)
$process.WaitForExit()
$code = $process.ExitCode

switch ($code) {
    0 { Write-Output "$App is installed as its script describes"; exit 0 }
    1 { exit 0 }  # differences: not detected; the report tells which
    default {
        [Console]::Error.WriteLine("deployator.exe -VERIFY ended with $code; see $Report")
        exit $code
    }
}
