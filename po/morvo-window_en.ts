<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>FolderBrowser</name>
    <message>
        <source>&quot;%1&quot; 是无效的路径</source>
        <translation>&quot;%1&quot; is not a valid path</translation>
    </message>
</context>
<context>
    <name>MessageBox</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>中止(&amp;A)</source>
        <translation>&amp;Abort</translation>
    </message>
    <message>
        <source>重试(&amp;R)</source>
        <translation>&amp;Retry</translation>
    </message>
    <message>
        <source>忽略(&amp;I)</source>
        <translation>&amp;Ignore</translation>
    </message>
    <message>
        <source>是(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>否(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
</context>
<context>
    <name>TFileList</name>
    <message>
        <source>源文件</source>
        <translation>Source file</translation>
    </message>
    <message>
        <source>目标文件名</source>
        <translation>Target file name</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>失败(%1)</source>
        <translation>Failed (%1)</translation>
    </message>
    <message>
        <source>等待</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>转换中止</source>
        <translation>Stopped</translation>
    </message>
</context>
<context>
    <name>TfrmDlg</name>
    <message>
        <source>    欢迎使用音频格式转换工具，您可对Mp3、Ape、Wav、</source>
        <translation>    Welcome! Convert Mp3, Ape, Wav and</translation>
    </message>
    <message>
        <source>Flac进行文件格式与品质转换。请点选“添加文件”按钮转 </source>
        <translation>Flac files between formats and qualities.</translation>
    </message>
    <message>
        <source>换您所需要音频文件！</source>
        <translation>Click &quot;Add files&quot; to pick your files!</translation>
    </message>
    <message>
        <source>下次不用提示</source>
        <translation>Don&apos;t show</translation>
    </message>
    <message>
        <source>我知道了</source>
        <translation>Got it</translation>
    </message>
</context>
<context>
    <name>TfrmMain</name>
    <message>
        <source>格式转换工具</source>
        <translation>Format Converter</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>您正在进行歌曲转换，是否真要退出?</source>
        <translation>Songs are being converted. Quit anyway?</translation>
    </message>
    <message>
        <source>添加文件</source>
        <translation>Add files</translation>
    </message>
    <message>
        <source>CD抓轨</source>
        <translation>Rip CD</translation>
    </message>
    <message>
        <source>无损音质文件切割的最佳工具 </source>
        <translation>The best tool for splitting lossless audio </translation>
    </message>
    <message>
        <source>转换列表</source>
        <translation>Conversion list</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>移除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>移除完成文件</source>
        <translation>Remove done</translation>
    </message>
    <message>
        <source>总进度</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>整理显示</source>
        <translation>Tidy up</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>转换格式</source>
        <translation>Target format</translation>
    </message>
    <message>
        <source>音乐质量</source>
        <translation>Quality</translation>
    </message>
    <message>
        <source>高级</source>
        <translation>More</translation>
    </message>
    <message>
        <source>转换设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>目标文件夹</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>更改</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>打开文件夹</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>任务优先级</source>
        <translation>Priority</translation>
    </message>
    <message>
        <source>目标文件存在时</source>
        <translation>If target exists</translation>
    </message>
    <message>
        <source>转换文件</source>
        <translation>Convert</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>选择全部</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>播放文件</source>
        <translation>Play file</translation>
    </message>
    <message>
        <source>编辑标签</source>
        <translation>Edit tags</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>Open file</translation>
    </message>
    <message>
        <source>打开所在文件夹</source>
        <translation>Open containing folder</translation>
    </message>
    <message>
        <source>重命名文件</source>
        <translation>Rename file</translation>
    </message>
    <message>
        <source>读取光驱设备</source>
        <translation>Read CD drives</translation>
    </message>
    <message>
        <source>弹出光驱</source>
        <translation>Eject CD</translation>
    </message>
    <message>
        <source>没有选项可供选择！</source>
        <translation>There is nothing to select!</translation>
    </message>
    <message>
        <source>全选提示</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>请选择预删除的选项，然后重试！</source>
        <translation>Select the entries to remove, then try again!</translation>
    </message>
    <message>
        <source>没有可删除的选项！</source>
        <translation>There is nothing to remove!</translation>
    </message>
    <message>
        <source>移除文件提示</source>
        <translation>Remove files</translation>
    </message>
    <message>
        <source>没有需要转换的任务，请添加后重试。  </source>
        <translation>There is nothing to convert. Add files and try again.  </translation>
    </message>
    <message>
        <source>开始转换提示</source>
        <translation>Start converting</translation>
    </message>
    <message>
        <source>总进度：</source>
        <translation>Progress:</translation>
    </message>
    <message>
        <source>正在转换中</source>
        <translation>Converting</translation>
    </message>
    <message>
        <source>开始转换</source>
        <translation>Convert</translation>
    </message>
    <message>
        <source>无法添加播放列表</source>
        <translation>Cannot add to the playlist</translation>
    </message>
    <message>
        <source>播放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>无法打开目标文件夹</source>
        <translation>Cannot open the target folder</translation>
    </message>
    <message>
        <source>文件名不能包含下列任何字符之一</source>
        <translation>A file name cannot contain any of these characters:</translation>
    </message>
    <message>
        <source>所有音频文件|*.LXM;*.MP1;*.MP2;*.MP3;*.WMA;*.WAV;*.OGG;*.MP4;*.M4A;*.AAC;*.AA;*.APE;*.M3U;*.FLAC;*.FLA;*.CUE;*.CDA;*.ZRC;*.MPC;*.MP+;*.AIF;*.AIFC;*.AIFF;*.MID;*.MIDI;*.RMI;*.SND;*.AU;*.AC3;*.A52;*.DTS;*.DTSWAV;|所有文件|*.*|AAC音乐文件(*.aac;*.aa)|*.aac;*.aa|AC3音乐文件(*.ac3;*.a52)|*.ac3;*.a52|AIFF音乐文件(*.aif;*.aifc;*.aiff)|*.aif;*.aifc;*.aiff|APE无损音频文件(*.ape)|*.ape|AU音乐文件(*.au;*.snd)|*.au;*.snd|CUE音频索引文件(*.cue)|*.cue|CD音轨文件(*.cda)|*.cda|DTS音乐文件(*.dts;*.dtswav)|*.dts;*.dtswav|FLAC无损音频文件(*.flac;*.fla)|*.flac;*.fla|LXM音乐文件(*.lxm)|*.lxm|ZRC动感歌词文件(*.zrc)|*.zrc|MIDI文件(*.mid;*.midi;*.rmi)|*.mid;*.midi;*.rmi|MP3音乐文件(*.mp3)|*.mp3|MP4音乐文件(*.m4a;*.mp4)|*.m4a;*.mp4|Musepack音乐文件(*.mpc;*.mp+)|*.mpc;*.mp+|OGG音乐文件(*.ogg)|*.ogg|Wave音乐文件(*.wav)|*.wav|Window Media音乐文件(*.wma)|*.wma|</source>
        <translation>All audio files|*.LXM;*.MP1;*.MP2;*.MP3;*.WMA;*.WAV;*.OGG;*.MP4;*.M4A;*.AAC;*.AA;*.APE;*.M3U;*.FLAC;*.FLA;*.CUE;*.CDA;*.ZRC;*.MPC;*.MP+;*.AIF;*.AIFC;*.AIFF;*.MID;*.MIDI;*.RMI;*.SND;*.AU;*.AC3;*.A52;*.DTS;*.DTSWAV;|All files|*.*|AAC audio(*.aac;*.aa)|*.aac;*.aa|AC3 audio(*.ac3;*.a52)|*.ac3;*.a52|AIFF audio(*.aif;*.aifc;*.aiff)|*.aif;*.aifc;*.aiff|APE lossless audio(*.ape)|*.ape|AU audio(*.au;*.snd)|*.au;*.snd|CUE sheets(*.cue)|*.cue|CD tracks(*.cda)|*.cda|DTS audio(*.dts;*.dtswav)|*.dts;*.dtswav|FLAC lossless audio(*.flac;*.fla)|*.flac;*.fla|LXM audio(*.lxm)|*.lxm|ZRC lyrics(*.zrc)|*.zrc|MIDI files(*.mid;*.midi;*.rmi)|*.mid;*.midi;*.rmi|MP3 audio(*.mp3)|*.mp3|MP4 audio(*.m4a;*.mp4)|*.m4a;*.mp4|Musepack audio(*.mpc;*.mp+)|*.mpc;*.mp+|OGG audio(*.ogg)|*.ogg|Wave audio(*.wav)|*.wav|Windows Media audio(*.wma)|*.wma|</translation>
    </message>
    <message>
        <source>提示：</source>
        <translation>Tip:</translation>
    </message>
    <message>
        <source>  有损音乐格式歌曲向MP3</source>
        <translation>  Convert lossy songs to MP3</translation>
    </message>
    <message>
        <source>   APE、WAV、FLAC为无损</source>
        <translation>   APE, WAV and FLAC are</translation>
    </message>
    <message>
        <source>转换,应由较高音质向较低</source>
        <translation>from a higher to a lower</translation>
    </message>
    <message>
        <source>音乐格式文件,只能通过无</source>
        <translation>lossless formats, made only</translation>
    </message>
    <message>
        <source>音质转换。</source>
        <translation>quality.</translation>
    </message>
    <message>
        <source>损音乐格式转换而成。</source>
        <translation>from lossless sources.</translation>
    </message>
    <message>
        <source>没有相关描述</source>
        <translation>No description</translation>
    </message>
    <message>
        <source>请选择音效插件所在的文件夹：</source>
        <translation>Choose the target folder:</translation>
    </message>
</context>
<context>
    <name>TfrmParam</name>
    <message>
        <source>%1 配置</source>
        <translation>%1 settings</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>无相关配置</source>
        <translation>No settings</translation>
    </message>
    <message>
        <source>转换成功后删除源文件</source>
        <translation>Delete source after</translation>
    </message>
    <message>
        <source>转换成功后添加到播放列表</source>
        <translation>Add to playlist after</translation>
    </message>
    <message>
        <source>自动读取源文件标签信息</source>
        <translation>Read source tags</translation>
    </message>
    <message>
        <source>设为默认</source>
        <translation>Save default</translation>
    </message>
    <message>
        <source>恢复初始值</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>是否确定重置配置信息？</source>
        <translation>Reset the settings?</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>立体声</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>混合立体声</source>
        <translation>Joint stereo</translation>
    </message>
    <message>
        <source>单声道</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>声道模式</source>
        <translation>Channel mode</translation>
    </message>
    <message>
        <source>比特率</source>
        <translation>Bit rate</translation>
    </message>
    <message>
        <source>恒定码率(CBR)</source>
        <translation>Constant (CBR)</translation>
    </message>
    <message>
        <source>平均码率(ABR)</source>
        <translation>Average (ABR)</translation>
    </message>
    <message>
        <source>变长码率(VBR)</source>
        <translation>Variable (VBR)</translation>
    </message>
    <message>
        <source>快速压缩级别</source>
        <translation>Fast</translation>
    </message>
    <message>
        <source>正常压缩级别</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>较高压缩级别</source>
        <translation>High</translation>
    </message>
    <message>
        <source>极高压缩级别</source>
        <translation>Extra high</translation>
    </message>
    <message>
        <source>疯狂压缩级别</source>
        <translation>Insane</translation>
    </message>
    <message>
        <source>编码级别</source>
        <translation>Level</translation>
    </message>
</context>
</TS>
