#include "cli/wmic/wmic_aliases.h"

#include <iterator>

#include "cli/wmic/wmic_names.h"

namespace {

constexpr std::wstring_view kCimv2 = L"root\\cimv2";
constexpr std::wstring_view kTerminalServices = L"root\\cimv2\\TerminalServices";

// The key WHERE of PROCESS and SERVICE, and the brief columns of PROCESS,
// SERVICE, USERACCOUNT and NTEVENTLOG, are as wmic prints them. Every other
// key WHERE and brief column set is chosen: the class's key, or its most
// telling properties. REGISTRY is Win32_Registry (the registry's size), not
// StdRegProv, which has no instances to list. Key WHEREs are all written as
// strings: WQL compares '1234' with a number as the number.
const WmicAlias kAliases[] = {
    {L"ALIAS", L"MSFT_CliAlias", L"root\\cli", L"FriendlyName='#'", L"FriendlyName,PWhere,Target"},
    {L"BASEBOARD", L"Win32_BaseBoard", kCimv2, L"", L"Manufacturer,Model,Name,SerialNumber,SKU,Product"},
    {L"BIOS", L"Win32_BIOS", kCimv2, L"", L"Manufacturer,Name,SerialNumber,SMBIOSBIOSVersion,Version"},
    {L"BOOTCONFIG", L"Win32_BootConfiguration", kCimv2, L"Name='#'",
     L"BootDirectory,Caption,ConfigurationPath,Description,LastDrive,Name,ScratchDirectory,SettingID,TempDirectory"},
    {L"CDROM", L"Win32_CDROMDrive", kCimv2, L"Drive='#'", L"Caption,Drive,Manufacturer,VolumeName"},
    {L"COMPUTERSYSTEM", L"Win32_ComputerSystem", kCimv2, L"Name='#'",
     L"Domain,Manufacturer,Model,Name,PrimaryOwnerName,TotalPhysicalMemory"},
    {L"CPU", L"Win32_Processor", kCimv2, L"DeviceID='#'",
     L"Caption,DeviceID,Manufacturer,MaxClockSpeed,Name,SocketDesignation"},
    {L"CSPRODUCT", L"Win32_ComputerSystemProduct", kCimv2, L"", L"IdentifyingNumber,Name,Vendor,Version,Caption"},
    {L"DATAFILE", L"CIM_DataFile", kCimv2, L"Name='#'",
     L"Compressed,Encrypted,FileSize,Hidden,Name,Readable,System,Version,Writeable"},
    {L"DCOMAPP", L"Win32_DCOMApplication", kCimv2, L"Name='#'", L"AppID,InstallDate,Name"},
    {L"DESKTOP", L"Win32_Desktop", kCimv2, L"Name='#'", L"Name,ScreenSaverActive,ScreenSaverSecure,ScreenSaverTimeout,SettingID"},
    {L"DESKTOPMONITOR", L"Win32_DesktopMonitor", kCimv2, L"DeviceID='#'",
     L"DeviceID,Name,PixelsPerXLogicalInch,PixelsPerYLogicalInch,ScreenHeight,ScreenWidth"},
    {L"DEVICEMEMORYADDRESS", L"Win32_DeviceMemoryAddress", kCimv2, L"StartingAddress='#'",
     L"MemoryType,Name,Status"},
    {L"DISKDRIVE", L"Win32_DiskDrive", kCimv2, L"Index='#'", L"Caption,DeviceID,Model,Partitions,Size"},
    {L"DISKQUOTA", L"Win32_DiskQuota", kCimv2, L"User='#'", L"DiskSpaceUsed,Limit,QuotaVolume,User"},
    {L"DMACHANNEL", L"Win32_DMAChannel", kCimv2, L"DMAChannel='#'",
     L"AddressSize,Availability,ByteMode,ChannelTiming,DMAChannel,MaxTransferSize,Name,Port"},
    {L"ENVIRONMENT", L"Win32_Environment", kCimv2, L"Name='#'", L"Caption,Name,UserName,VariableValue"},
    {L"FSDIR", L"Win32_Directory", kCimv2, L"Name='#'",
     L"Compressed,Encrypted,FileSize,Hidden,Name,Readable,System,Version,Writeable"},
    {L"GROUP", L"Win32_Group", kCimv2, L"Name='#'", L"Caption,Domain,Name,SID"},
    {L"IDECONTROLLER", L"Win32_IDEController", kCimv2, L"DeviceID='#'",
     L"Availability,Caption,DeviceID,Manufacturer,Name,ProtocolSupported,Status"},
    {L"IRQ", L"Win32_IRQResource", kCimv2, L"IRQNumber='#'", L"Availability,IRQNumber,Name"},
    {L"JOB", L"Win32_ScheduledJob", kCimv2, L"JobId='#'", L"Command,JobId,Name,Owner,Priority"},
    {L"LOADORDER", L"Win32_LoadOrderGroup", kCimv2, L"Name='#'", L"DriverEnabled,GroupOrder,Name"},
    {L"LOGICALDISK", L"Win32_LogicalDisk", kCimv2, L"Name='#'",
     L"DeviceID,DriveType,FreeSpace,ProviderName,Size,VolumeName"},
    {L"LOGON", L"Win32_LogonSession", kCimv2, L"LogonId='#'", L"AuthenticationPackage,LogonId,LogonType,StartTime"},
    {L"MEMCACHE", L"Win32_CacheMemory", kCimv2, L"DeviceID='#'", L"BlockSize,CacheSpeed,CacheType,DeviceID,InstalledSize,Level,MaxCacheSize,NumberOfBlocks,Status"},
    {L"MEMORYCHIP", L"Win32_PhysicalMemory", kCimv2, L"Tag='#'", L"Capacity,DeviceLocator,MemoryType,Name,Tag,TotalWidth"},
    {L"MEMPHYSICAL", L"Win32_PhysicalMemoryArray", kCimv2, L"Tag='#'",
     L"Caption,Location,MaxCapacity,MemoryDevices,MemoryErrorCorrection,Tag"},
    {L"NETCLIENT", L"Win32_NetworkClient", kCimv2, L"Name='#'", L"Caption,Name,Manufacturer,Status"},
    {L"NETLOGIN", L"Win32_NetworkLoginProfile", kCimv2, L"Name='#'",
     L"Caption,FullName,LastLogon,Name,NumberOfLogons,UserType"},
    {L"NETPROTOCOL", L"Win32_NetworkProtocol", kCimv2, L"Name='#'",
     L"Caption,ConnectionlessService,GuaranteesDelivery,MaximumMessageSize,Name,Status"},
    {L"NETUSE", L"Win32_NetworkConnection", kCimv2, L"Name='#'",
     L"ConnectionState,LocalName,Name,Persistent,RemoteName,RemotePath,Status,UserName"},
    {L"NIC", L"Win32_NetworkAdapter", kCimv2, L"DeviceID='#'",
     L"AdapterType,DeviceID,MACAddress,Name,NetworkAddresses,ServiceName,Speed"},
    {L"NICCONFIG", L"Win32_NetworkAdapterConfiguration", kCimv2, L"Index='#'",
     L"DHCPEnabled,IPAddress,DefaultIPGateway,DNSDomain,ServiceName,Description,Index"},
    {L"NTDOMAIN", L"Win32_NTDomain", kCimv2, L"DomainName='#'",
     L"Caption,ClientSiteName,DcSiteName,Description,DnsForestName,DomainControllerAddress,DomainName,Roles,Status"},
    {L"NTEVENT", L"Win32_NTLogEvent", kCimv2, L"LogFile='#'", L"EventCode,EventType,LogFile,Message,RecordNumber,SourceName,TimeGenerated"},
    {L"NTEVENTLOG", L"Win32_NTEventlogFile", kCimv2, L"LogfileName='#'", L"FileSize,LogfileName,Name,NumberOfRecords"},
    {L"ONBOARDDEVICE", L"Win32_OnBoardDevice", kCimv2, L"Tag='#'", L"Description,DeviceType,Enabled,Tag"},
    {L"OS", L"Win32_OperatingSystem", kCimv2, L"",
     L"BuildNumber,Organization,RegisteredUser,SerialNumber,SystemDirectory,Version"},
    {L"PAGEFILE", L"Win32_PageFileUsage", kCimv2, L"Name='#'", L"AllocatedBaseSize,CurrentUsage,Name,PeakUsage"},
    {L"PAGEFILESET", L"Win32_PageFileSetting", kCimv2, L"Name='#'", L"InitialSize,MaximumSize,Name"},
    {L"PARTITION", L"Win32_DiskPartition", kCimv2, L"Index='#'", L"BlockSize,BootPartition,DeviceID,DiskIndex,Index,Name,Size,Type"},
    {L"PORT", L"Win32_PortResource", kCimv2, L"StartingAddress='#'", L"EndingAddress,Name,StartingAddress,Status"},
    {L"PORTCONNECTOR", L"Win32_PortConnector", kCimv2, L"ExternalReferenceDesignator='#'",
     L"ConnectorType,ExternalReferenceDesignator,InternalReferenceDesignator,PortType,Tag"},
    {L"PRINTER", L"Win32_Printer", kCimv2, L"Name='#'", L"Location,Name,PrinterState,PrinterStatus,ShareName,SystemName"},
    {L"PRINTERCONFIG", L"Win32_PrinterConfiguration", kCimv2, L"Name='#'",
     L"Color,DeviceName,DriverVersion,Duplex,HorizontalResolution,Name,Orientation,PaperSize,VerticalResolution"},
    {L"PRINTJOB", L"Win32_PrintJob", kCimv2, L"JobId='#'", L"Document,JobId,JobStatus,Owner,Priority,Size"},
    {L"PROCESS", L"Win32_Process", kCimv2, L"ProcessId='#'",
     L"HandleCount,Name,Priority,ProcessId,ThreadCount,WorkingSetSize"},
    {L"PRODUCT", L"Win32_Product", kCimv2, L"Name='#'", L"Caption,IdentifyingNumber,Name,Vendor,Version"},
    {L"QFE", L"Win32_QuickFixEngineering", kCimv2, L"HotFixID='#'", L"Caption,CSName,Description,HotFixID,InstalledBy,InstalledOn"},
    {L"QUOTASETTING", L"Win32_QuotaSetting", kCimv2, L"Caption='#'",
     L"Caption,DefaultLimit,DefaultWarningLimit,State,VolumePath"},
    {L"RDACCOUNT", L"Win32_TSAccount", kTerminalServices, L"AccountName='#'",
     L"AccountName,PermissionsAllowed,PermissionsDenied,TerminalName"},
    {L"RDNIC", L"Win32_TSNetworkAdapterSetting", kTerminalServices, L"TerminalName='#'",
     L"NetworkAdapterID,NetworkAdapterName,TerminalName"},
    {L"RDPERMISSIONS", L"Win32_TSPermissionsSetting", kTerminalServices, L"TerminalName='#'",
     L"Caption,TerminalName"},
    {L"RDTOGGLE", L"Win32_TerminalServiceSetting", kTerminalServices, L"ServerName='#'",
     L"AllowTSConnections,ServerName"},
    {L"RECOVEROS", L"Win32_OSRecoveryConfiguration", kCimv2, L"",
     L"AutoReboot,DebugFilePath,Name,OverwriteExistingDebugFile,WriteToSystemLog"},
    {L"REGISTRY", L"Win32_Registry", kCimv2, L"Name='#'", L"CurrentSize,MaximumSize,Name,ProposedSize,Status"},
    {L"SCSICONTROLLER", L"Win32_SCSIController", kCimv2, L"DeviceID='#'",
     L"Caption,DeviceID,DriverName,Manufacturer,Name,Status"},
    {L"SERVER", L"Win32_PerfRawData_PerfNet_Server", kCimv2, L"Name='#'",
     L"ErrorsAccessPermissions,ErrorsLogon,FilesOpen,Name,ServerSessions"},
    {L"SERVICE", L"Win32_Service", kCimv2, L"Name='#'", L"ExitCode,Name,ProcessId,StartMode,State,Status"},
    {L"SHADOWCOPY", L"Win32_ShadowCopy", kCimv2, L"ID='#'", L"ClientAccessible,Count,DeviceObject,ID,InstallDate,OriginatingMachine,VolumeName"},
    {L"SHADOWSTORAGE", L"Win32_ShadowStorage", kCimv2, L"Volume='#'", L"AllocatedSpace,DiffVolume,MaxSpace,UsedSpace,Volume"},
    {L"SHARE", L"Win32_Share", kCimv2, L"Name='#'", L"Description,Name,Path"},
    {L"SOFTWAREELEMENT", L"Win32_SoftwareElement", kCimv2, L"Name='#'",
     L"Caption,Name,Path,SoftwareElementState,Status,Version"},
    {L"SOFTWAREFEATURE", L"Win32_SoftwareFeature", kCimv2, L"Name='#'",
     L"Caption,IdentifyingNumber,InstallState,LastUse,Name,Vendor,Version"},
    {L"SOUNDDEV", L"Win32_SoundDevice", kCimv2, L"Name='#'", L"Manufacturer,Name,Status,StatusInfo"},
    {L"STARTUP", L"Win32_StartupCommand", kCimv2, L"Caption='#'", L"Caption,Command,User"},
    {L"SYSACCOUNT", L"Win32_SystemAccount", kCimv2, L"Name='#'", L"Caption,Domain,Name,SID,SIDType,Status"},
    {L"SYSDRIVER", L"Win32_SystemDriver", kCimv2, L"Name='#'", L"Name,PathName,ServiceType,StartMode,State,Status"},
    {L"SYSTEMENCLOSURE", L"Win32_SystemEnclosure", kCimv2, L"Tag='#'",
     L"ChassisTypes,Manufacturer,Model,SerialNumber,SMBIOSAssetTag,Tag"},
    {L"SYSTEMSLOT", L"Win32_SystemSlot", kCimv2, L"SlotDesignation='#'",
     L"CurrentUsage,SlotDesignation,Status,Tag"},
    {L"TAPEDRIVE", L"Win32_TapeDrive", kCimv2, L"DeviceID='#'", L"Caption,DeviceID,Manufacturer,Name,Status"},
    {L"TEMPERATURE", L"Win32_TemperatureProbe", kCimv2, L"DeviceID='#'",
     L"CurrentReading,DeviceID,Name,Status"},
    {L"TIMEZONE", L"Win32_TimeZone", kCimv2, L"Description='#'", L"Bias,Caption,Description,StandardName"},
    {L"UPS", L"Win32_UninterruptiblePowerSupply", kCimv2, L"DeviceID='#'",
     L"BatteryInstalled,DeviceID,EstimatedChargeRemaining,Name,Status"},
    {L"USERACCOUNT", L"Win32_UserAccount", kCimv2, L"Name='#'", L"AccountType,Caption,Domain,FullName,Name,SID"},
    {L"VOLTAGE", L"Win32_VoltageProbe", kCimv2, L"DeviceID='#'", L"CurrentReading,DeviceID,Name,Status"},
    {L"VOLUME", L"Win32_Volume", kCimv2, L"DeviceID='#'",
     L"Capacity,DeviceID,DriveLetter,FileSystem,FreeSpace,Label"},
    {L"VOLUMEQUOTASETTING", L"Win32_VolumeQuotaSetting", kCimv2, L"Volume='#'", L"Element,Setting"},
    {L"VOLUMEUSERQUOTA", L"Win32_VolumeUserQuota", kCimv2, L"Volume='#'", L"Account,DiskSpaceUsed,Limit,Status,Volume"},
    {L"WMISET", L"Win32_WMISetting", kCimv2, L"",
     L"ASPScriptDefaultNamespace,BuildVersion,InstallationDirectory,LoggingLevel"},
};

// Methods an alias defines as verbs of its own, in the alias's spelling:
// wmic prints `process call create` as Create(), where every other method
// keeps the case it was typed in.
struct AliasVerb {
  std::wstring_view alias;
  std::wstring_view method;
};

const AliasVerb kAliasVerbs[] = {
    {L"PROCESS", L"Create"},
    {L"PRODUCT", L"Uninstall"},
};

}  // namespace

std::wstring WmicPrintedMethod(const WmicAlias* alias, std::wstring_view typed) {
  if (alias != nullptr) {
    for (const AliasVerb& verb : kAliasVerbs) {
      if (verb.alias == alias->name && SameName(verb.method, typed)) return std::wstring(verb.method);
    }
  }
  return std::wstring(typed);
}

const WmicAlias* FindWmicAlias(std::wstring_view name) {
  for (const WmicAlias& alias : kAliases) {
    if (SameName(alias.name, name)) return &alias;
  }
  return nullptr;
}

WmicAliasTable AllWmicAliases() { return {kAliases, std::size(kAliases)}; }
