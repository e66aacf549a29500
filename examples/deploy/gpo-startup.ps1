# Group Policy computer startup script (Computer Configuration > Policies >
# Windows Settings > Scripts > Startup, "PowerShell Scripts" tab). It runs as
# SYSTEM at each start of the machine and reaches the share as the computer
# account: give the domain computers read access to the package folder.
#
# A run that ended with 3010 left its after-reboot run in RunOnce, which
# Windows starts only when a user logs on (and then under that user, while the
# install ran as SYSTEM): the script starts it itself, as SYSTEM, as Windows
# would (the entry is removed first).
#
# Then it verifies the machine against the installation script and installs
# only where they differ. Each run of deployator.exe writes one event to the
# Application log, source "Deployator", with the exit code as the event ID
# and, for an install, the log's last summary line in the message:
#   0     Information  installed (or already as the script describes)
#   3010  Warning      files wait for the next restart; the run after it is registered
#   1618  Warning      another run was in progress; the next start tries again
#   1603, 1639, other  Error
# A verification that finds nothing to do writes an Information event with ID 0.

$App     = 'ExampleApp'
$Package = '\\server\software\ExampleApp'
$Logs    = Join-Path $env:ProgramData 'Deployator\Logs'
$Log     = Join-Path $Logs "$App.log"
$Report  = Join-Path $Logs "$App-verify.tsv"
$Source  = 'Deployator'

# Starts deployator.exe and waits for it alone (not for programs the run may
# leave running); returns its exit code. No quotes around option values: a
# value runs to the next " -".
function Invoke-Deployator([string]$Arguments, [string]$Exe = (Join-Path $Package 'deployator.exe')) {
    $info = New-Object System.Diagnostics.ProcessStartInfo
    $info.FileName = $Exe
    $info.Arguments = $Arguments
    $info.UseShellExecute = $false
    $process = [System.Diagnostics.Process]::Start($info)
    $process.WaitForExit()
    return $process.ExitCode
}

function Write-DeployEvent([int]$Code, [string]$Text) {
    if (-not [System.Diagnostics.EventLog]::SourceExists($Source)) {
        New-EventLog -LogName Application -Source $Source
    }
    $type = switch ($Code) {
        0       { 'Information' }
        3010    { 'Warning' }
        1618    { 'Warning' }
        default { 'Error' }
    }
    # Event IDs run from 0 to 65535; Deployator's codes all fit.
    $id = if ($Code -ge 0 -and $Code -le 65535) { $Code } else { 65535 }
    Write-EventLog -LogName Application -Source $Source -EventId $id -EntryType $type -Message $Text
}

if (-not (Test-Path -LiteralPath $Logs)) { New-Item -ItemType Directory -Path $Logs -Force | Out-Null }

# The 32-bit program's RunOnce entry: "C:\path\deployator.exe" options -AFTERREBOOT
$RunOnceKey = if ([Environment]::Is64BitOperatingSystem) {
    'HKLM:\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\RunOnce'
} else {
    'HKLM:\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce'
}
$pending = (Get-ItemProperty -LiteralPath $RunOnceKey -Name Deployator -ErrorAction SilentlyContinue).Deployator
if ($pending -and $pending -match '^"([^"]+)" (.*)$') {
    Remove-ItemProperty -LiteralPath $RunOnceKey -Name Deployator
    $code = Invoke-Deployator $Matches[2] $Matches[1]
    Write-DeployEvent $code "The run after the restart ($pending) ended with exit code $code."
}

$verify = Invoke-Deployator "-C=$Package\setup.ini -VERIFY=$Report"
if ($verify -eq 0) {
    Write-DeployEvent 0 "$App is installed as its script describes (verified against $Package)."
    exit 0
}
if ($verify -ne 1) {
    Write-DeployEvent $verify "$App could not be verified: deployator.exe -VERIFY ended with $verify (1603: the script $Package\setup.ini could not be read)."
    exit $verify
}

$code = Invoke-Deployator "-C=$Package\setup.ini -QUIET -ROLLBACK -LF=$Log"
$summary = ''
if (Test-Path -LiteralPath $Log) {
    $last = Select-String -LiteralPath $Log -Pattern '^Summary: ' | Select-Object -Last 1
    if ($last) { $summary = $last.Line }
}
$meaning = switch ($code) {
    0       { 'installed' }
    3010    { 'installed; files are replaced at the next restart' }
    1603    { 'failed' }
    1618    { 'another installation was in progress; the next start tries again' }
    1639    { 'invalid command line' }
    default { 'ended unexpectedly' }
}
Write-DeployEvent $code "$App ${meaning}: exit code $code. Differences before the run: $Report. Log: $Log. $summary"
exit 0
