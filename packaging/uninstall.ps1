# Removes KEM Engine from the editing host: KEMEngine.prm from the host's
# control-surface plug-in folder. The allowlist (origins.txt) is yours and stays.
# Run from PowerShell opened with "Run as administrator":
#   powershell -ExecutionPolicy Bypass -File .\uninstall.ps1
param(
  [string]$PluginDir = (Join-Path $env:ProgramFiles 'Adobe\Common\Plug-ins\ControlSurface')
)
$ErrorActionPreference = 'Stop'

$identity = [Security.Principal.WindowsIdentity]::GetCurrent()
$principal = New-Object Security.Principal.WindowsPrincipal($identity)
if (-not $principal.IsInRole([Security.Principal.WindowsBuiltInRole]::Administrator)) {
  Write-Host 'The plug-in folder is under Program Files: open PowerShell with "Run as administrator" and run this again.'
  exit 1
}

$module = Join-Path $PluginDir 'KEMEngine.prm'
if (Test-Path -LiteralPath $module) {
  Remove-Item -LiteralPath $module -Force
  Write-Host "Removed: $module"
} else {
  Write-Host "Not installed: no $module"
}
if (-not [string]::IsNullOrEmpty($env:APPDATA)) {
  Write-Host "Kept: $(Join-Path $env:APPDATA 'KEM Engine\origins.txt') (delete it yourself if you no longer want it)"
}
