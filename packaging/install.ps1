# Installs KEM Engine into the editing host: KEMEngine.prm into the host's
# control-surface plug-in folder, and the allowlist folder with an example
# origins.txt when there is none (an existing one is never touched).
# Run from PowerShell opened with "Run as administrator":
#   powershell -ExecutionPolicy Bypass -File .\install.ps1
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

$here = Split-Path -Parent $MyInvocation.MyCommand.Path
$module = Join-Path $here 'KEMEngine.prm'
if (-not (Test-Path -LiteralPath $module -PathType Leaf)) {
  Write-Host "KEMEngine.prm is not beside this script ($here): unpack the whole archive first."
  exit 1
}

New-Item -ItemType Directory -Force -Path $PluginDir | Out-Null
Copy-Item -LiteralPath $module -Destination $PluginDir -Force
Write-Host "Installed: $(Join-Path $PluginDir 'KEMEngine.prm')"

if ([string]::IsNullOrEmpty($env:APPDATA)) {
  Write-Host 'APPDATA is not set: no allowlist folder was made.'
} else {
  $allowDir = Join-Path $env:APPDATA 'KEM Engine'
  $allow = Join-Path $allowDir 'origins.txt'
  if (Test-Path -LiteralPath $allow) {
    Write-Host "Kept: $allow"
  } else {
    New-Item -ItemType Directory -Force -Path $allowDir | Out-Null
    Copy-Item -LiteralPath (Join-Path $here 'origins.example.txt') -Destination $allow
    Write-Host "Created: $allow (an example, all comments)"
  }
}
Write-Host 'Start the editing host, then check it: npx kem-doctor --check'
