<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ko_KR">
<context>
    <name>CCalcStatusDlg</name>
    <message>
        <source>리플레이</source>
        <translation>Replay</translation>
    </message>
    <message>
        <source>평균 계산 중...</source>
        <translation>Calculating average...</translation>
    </message>
    <message>
        <source>RMS 계산 중...</source>
        <translation>Calculating RMS...</translation>
    </message>
    <message>
        <source>평균 계산 완료</source>
        <translation>Average calculated</translation>
    </message>
    <message>
        <source>계산 완료</source>
        <translation>Calculation complete</translation>
    </message>
</context>
<context>
    <name>CCalculatorDlg</name>
    <message>
        <source>좌표 변환</source>
        <translation>Coordinate Conversion</translation>
    </message>
    <message>
        <source>좌표변환</source>
        <translation>Coordinate Conversion</translation>
    </message>
    <message>
        <source>변환하기
&gt;&gt;</source>
        <translation>Convert
&gt;&gt;</translation>
    </message>
    <message>
        <source>1.변환하고자 하는 타원체와 좌표계를 먼저 선택합니다.
2.NMEA 파일을 선택합니다.
3.저장하고자 하는 CSV파일명을 입력합니다.</source>
        <translation>1. First select the ellipsoid and coordinate system to convert to.
2. Select the NMEA file.
3. Enter the name of the CSV file to save.</translation>
    </message>
    <message>
        <source>NMEA 파일 &gt;&gt; CSV 저장</source>
        <translation>NMEA File &gt;&gt; Save CSV</translation>
    </message>
    <message>
        <source>닫기</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>도</source>
        <translation>°</translation>
    </message>
    <message>
        <source>분</source>
        <translation>&apos;</translation>
    </message>
    <message>
        <source>초</source>
        <translation>&quot;</translation>
    </message>
    <message>
        <source>경도 (단위:도)</source>
        <translation>Longitude (deg)</translation>
    </message>
    <message>
        <source>위도 (단위:도)</source>
        <translation>Latitude (deg)</translation>
    </message>
    <message>
        <source>East (단위:미터)</source>
        <translation>East (m)</translation>
    </message>
    <message>
        <source>North (단위:미터)</source>
        <translation>North (m)</translation>
    </message>
    <message>
        <source>위경도 좌표로 이동하기</source>
        <translation>Go to Lat/Lon Position</translation>
    </message>
    <message>
        <source>NMEA 파일</source>
        <translation>NMEA File</translation>
    </message>
    <message>
        <source>Every File(*.*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>저장</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>변환 중...</source>
        <translation>Converting...</translation>
    </message>
    <message>
        <source>취소</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>변환을 완료하였습니다</source>
        <translation>Conversion complete</translation>
    </message>
    <message>
        <source>좌표를 변환하지 못한 위치 %1개는 건너뛰었습니다 (Latitude failed to converge)</source>
        <translation>Skipped %1 positions that could not be converted (Latitude failed to converge)</translation>
    </message>
    <message>
        <source>파일을 열 수 없습니다</source>
        <translation>Cannot open the file</translation>
    </message>
    <message>
        <source>파일을 생성할 수 없습니다</source>
        <translation>Cannot create the file</translation>
    </message>
    <message>
        <source>파일을 저장하지 못하여 저장 중이던 파일을 지웠습니다</source>
        <translation>Could not save the file; the partial file was deleted</translation>
    </message>
    <message>
        <source>변환을 취소하여 저장 중이던 파일을 지웠습니다</source>
        <translation>Conversion cancelled; the partial file was deleted</translation>
    </message>
</context>
<context>
    <name>CConnectionTimes</name>
    <message>
        <source>시작[%1] / Fixed[%2] / 경과[%3]</source>
        <translation>Start[%1] / Fixed[%2] / Elapsed[%3]</translation>
    </message>
</context>
<context>
    <name>CDistanceGraphCtrl</name>
    <message>
        <source>이동거리</source>
        <translation>Distance Traveled</translation>
    </message>
</context>
<context>
    <name>CDistanceToolDlg</name>
    <message>
        <source>거리 그래프</source>
        <translation>Distance Graph</translation>
    </message>
</context>
<context>
    <name>CElevationGraphCtrl</name>
    <message>
        <source>표고 변이</source>
        <translation>Elevation Variation</translation>
    </message>
</context>
<context>
    <name>CElevationToolDlg</name>
    <message>
        <source>표고 그래프</source>
        <translation>Elevation Graph</translation>
    </message>
</context>
<context>
    <name>CGraphCtrl</name>
    <message>
        <source>CSV로 내보내기...</source>
        <translation>Export to CSV...</translation>
    </message>
    <message>
        <source>CSV로 내보내기</source>
        <translation>Export to CSV</translation>
    </message>
    <message>
        <source>CSV 파일 (*.csv)</source>
        <translation>CSV Files (*.csv)</translation>
    </message>
    <message>
        <source>CSV 파일을 저장하지 못했습니다:
%1</source>
        <translation>Could not save the CSV file:
%1</translation>
    </message>
    <message>
        <source>%1시간</source>
        <translation>%1h</translation>
    </message>
    <message>
        <source>%1분</source>
        <translation>%1min</translation>
    </message>
</context>
<context>
    <name>CHdgAvrToolDlg</name>
    <message>
        <source>HEADING(AVR) 그래프</source>
        <translation>HEADING(AVR) Graph</translation>
    </message>
</context>
<context>
    <name>CHdgDevGraphCtrl</name>
    <message>
        <source>방향누적 그래프</source>
        <translation>Cumulative Heading Graph</translation>
    </message>
</context>
<context>
    <name>CHeadingToolDlg</name>
    <message>
        <source>방향계</source>
        <translation>Heading Indicator</translation>
    </message>
</context>
<context>
    <name>CHorPosToolDlg</name>
    <message>
        <source>E-W 그래프</source>
        <translation>E-W Graph</translation>
    </message>
</context>
<context>
    <name>CLanguageController</name>
    <message>
        <source>언어는 프로그램을 다시 시작하면 바뀝니다.</source>
        <translation>The language change takes effect after the program is restarted.</translation>
    </message>
    <message>
        <source>언어</source>
        <translation>Language</translation>
    </message>
</context>
<context>
    <name>CLinkController</name>
    <message>
        <source>리플레이 모드 상태입니다.
리플레이를 중지하십시오.</source>
        <translation>Replay mode is active.
Please stop the replay.</translation>
    </message>
    <message>
        <source>통신연결 에러</source>
        <translation>Connection Error</translation>
    </message>
    <message>
        <source>연결 종료: %1</source>
        <translation>Disconnected: %1</translation>
    </message>
    <message>
        <source>%1 연결이 끊어졌습니다.</source>
        <translation>%1 connection was lost.</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>지도와 PLOT를 동시에 표시될 때는 MainView를 변경할 수 없습니다.</source>
        <translation>The main view cannot be changed while the map and PLOT are both shown.</translation>
    </message>
    <message>
        <source>Skarnet2 정보</source>
        <translation>About Skarnet2</translation>
    </message>
    <message>
        <source>컴포트(&amp;F)</source>
        <translation>&amp;Port</translation>
    </message>
    <message>
        <source>컴포트 열기(&amp;O)</source>
        <translation>&amp;Open Port</translation>
    </message>
    <message>
        <source>컴포트 닫기(&amp;C)</source>
        <translation>&amp;Close Port</translation>
    </message>
    <message>
        <source>끝내기(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>저장(&amp;S)</source>
        <translation>Re&amp;cord</translation>
    </message>
    <message>
        <source>시작하기(&amp;S)</source>
        <translation>&amp;Start</translation>
    </message>
    <message>
        <source>중지하기(&amp;T)</source>
        <translation>S&amp;top</translation>
    </message>
    <message>
        <source>리플레이(&amp;R)</source>
        <translation>&amp;Replay</translation>
    </message>
    <message>
        <source>NTRIP(&amp;N)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>맵(&amp;M)</source>
        <translation>&amp;Map</translation>
    </message>
    <message>
        <source>구글맵(&amp;D)</source>
        <translation>&amp;Google Map</translation>
    </message>
    <message>
        <source>플롯맵(&amp;P)</source>
        <translation>&amp;Plot Map</translation>
    </message>
    <message>
        <source>지도+PLOT</source>
        <translation>Map + PLOT</translation>
    </message>
    <message>
        <source>도구(&amp;T)</source>
        <translation>&amp;Tools</translation>
    </message>
    <message>
        <source>설정/거리계산(&amp;O)</source>
        <translation>&amp;Settings / Distance Calculation</translation>
    </message>
    <message>
        <source>좌표변환(&amp;C)</source>
        <translation>&amp;Coordinate Conversion</translation>
    </message>
    <message>
        <source>RTCM 모니터(&amp;R)</source>
        <translation>&amp;RTCM Monitor</translation>
    </message>
    <message>
        <source>방향계</source>
        <translation>Heading Indicator</translation>
    </message>
    <message>
        <source>속도그래프</source>
        <translation>Speed Graph</translation>
    </message>
    <message>
        <source>거리그래프</source>
        <translation>Distance Graph</translation>
    </message>
    <message>
        <source>N-S 그래프</source>
        <translation>N-S Graph</translation>
    </message>
    <message>
        <source>E-W 그래프</source>
        <translation>E-W Graph</translation>
    </message>
    <message>
        <source>표고 그래프</source>
        <translation>Elevation Graph</translation>
    </message>
    <message>
        <source>방향누적 그래프</source>
        <translation>Cumulative Heading Graph</translation>
    </message>
    <message>
        <source>뷰어(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>메인뷰어변경</source>
        <translation>Change Main View</translation>
    </message>
    <message>
        <source>모양(&amp;L)</source>
        <translation>&amp;Look</translation>
    </message>
    <message>
        <source>시스템 스타일(&amp;D)</source>
        <translation>&amp;System Style</translation>
    </message>
    <message>
        <source>Fusion 밝은 스타일(&amp;F)</source>
        <translation>Fusion &amp;Light Style</translation>
    </message>
    <message>
        <source>Fusion 어두운 스타일(&amp;K)</source>
        <translation>Fusion &amp;Dark Style</translation>
    </message>
    <message>
        <source>언어(&amp;G)</source>
        <translation>Lan&amp;guage</translation>
    </message>
    <message>
        <source>정보(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>Skarnet2 정보(&amp;A)...</source>
        <translation>&amp;About Skarnet2...</translation>
    </message>
    <message>
        <source>메인</source>
        <translation>Main</translation>
    </message>
    <message>
        <source>필터</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>도구</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>지우기</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>시작[-] / Fixed[-] / 경과[-]</source>
        <translation>Start[-] / Fixed[-] / Elapsed[-]</translation>
    </message>
    <message>
        <source>인터넷 안됨</source>
        <translation>No Internet</translation>
    </message>
    <message>
        <source>한국어</source>
        <translation>Korean</translation>
    </message>
</context>
<context>
    <name>CMapDlg</name>
    <message>
        <source>타일: </source>
        <translation>Tiles: </translation>
    </message>
</context>
<context>
    <name>CMissingLogDlg</name>
    <message>
        <source>Auto Scroll</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CNetworkMonitor</name>
    <message>
        <source>인터넷 연결됨</source>
        <translation>Internet connected</translation>
    </message>
    <message>
        <source>인터넷 안됨</source>
        <translation>No Internet</translation>
    </message>
</context>
<context>
    <name>CNmeaDataWnd</name>
    <message>
        <source>IMU상태</source>
        <translation>IMU Status</translation>
    </message>
    <message>
        <source>Invalid</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Jamming Warning !</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Jamming Critical !</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Spoofing Indicated !</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Multiple Spoofing Indicated !</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device ID</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Station ID</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Date</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>DOP(P/H/V)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>2DRMS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>DRMS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CEP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>경도</source>
        <translation>Longitude</translation>
    </message>
    <message>
        <source>위도</source>
        <translation>Latitude</translation>
    </message>
    <message>
        <source>Orthometric Height</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Geoid Separation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Course</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Heading</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Speed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Base경도</source>
        <translation>Base Longitude</translation>
    </message>
    <message>
        <source>Base위도</source>
        <translation>Base Latitude</translation>
    </message>
    <message>
        <source>Base간 거리</source>
        <translation>Baseline</translation>
    </message>
    <message>
        <source>경도RMS</source>
        <translation>Longitude RMS</translation>
    </message>
    <message>
        <source>위도RMS</source>
        <translation>Latitude RMS</translation>
    </message>
    <message>
        <source>높이RMS</source>
        <translation>Height RMS</translation>
    </message>
    <message>
        <source>Float %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fixed %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>구분</source>
        <translation>Item</translation>
    </message>
    <message>
        <source>금액(원)</source>
        <translation>Fare (won)</translation>
    </message>
    <message>
        <source>이동거리(M)</source>
        <translation>Distance (m)</translation>
    </message>
    <message>
        <source>기본구간</source>
        <translation>Basic Distance</translation>
    </message>
    <message>
        <source>구간외</source>
        <translation>Beyond Basic</translation>
    </message>
    <message>
        <source>총계</source>
        <translation>Total</translation>
    </message>
    <message>
        <source>Calibrated</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Uncalibrated</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sensors</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CALIBRATED</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NOT CALIBRATED</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CNmeaLogDlg</name>
    <message>
        <source>Auto Scroll</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CNtripClient</name>
    <message>
        <source>마운트포인트가 지정되지 않았습니다.
설정에서 확인하세요.
</source>
        <translation>Mount point is not set.
Please check the settings.
</translation>
    </message>
    <message>
        <source>아이디가 설정되지 않았습니다.
설정에서 확인하세요.
</source>
        <translation>User ID is not set.
Please check the settings.
</translation>
    </message>
    <message>
        <source>비밀번호가 설정되지 않았습니다.
설정에서 확인하세요.
</source>
        <translation>Password is not set.
Please check the settings.
</translation>
    </message>
    <message>
        <source>NTRIP이 Enable 되어 있지 않습니다.
설정에서 확인하세요.
</source>
        <translation>NTRIP is not enabled.
Please check the settings.
</translation>
    </message>
    <message>
        <source>NTRIP 보안 연결(TLS)에 실패하였습니다.
캐스터의 인증서를 신뢰할 수 없습니다: %1</source>
        <translation>NTRIP secure connection (TLS) failed.
The caster&apos;s certificate is not trusted: %1</translation>
    </message>
    <message>
        <source>NTRIP 연결에 실패하였습니다.
설정 정보를 다시 확인해주세요.</source>
        <translation>NTRIP connection failed.
Please check the settings again.</translation>
    </message>
    <message>
        <source>Server 연결에 실패하였습니다.
설정 정보를 다시 확인해주세요.</source>
        <translation>Server connection failed.
Please check the settings again.</translation>
    </message>
    <message>
        <source>NTRIP 연결에 실패하였습니다.
아이디/비밀번호를 다시 확인해주세요.</source>
        <translation>NTRIP connection failed.
Please check the user ID and password.</translation>
    </message>
    <message>
        <source>NTRIP 연결에 실패하였습니다.
</source>
        <translation>NTRIP connection failed.
</translation>
    </message>
</context>
<context>
    <name>CPlotsView</name>
    <message>
        <source>동부원점</source>
        <translation>East Belt</translation>
    </message>
    <message>
        <source>중부원점</source>
        <translation>Central Belt</translation>
    </message>
    <message>
        <source>서부원점</source>
        <translation>West Belt</translation>
    </message>
    <message>
        <source>동해원점</source>
        <translation>East Sea Belt</translation>
    </message>
    <message>
        <source>타원체:WGS84</source>
        <translation>Ellipsoid: WGS84</translation>
    </message>
    <message>
        <source>좌표계:%1</source>
        <translation>Coordinate System: %1</translation>
    </message>
    <message>
        <source>확대</source>
        <translation>Zoom In</translation>
    </message>
    <message>
        <source>축소</source>
        <translation>Zoom Out</translation>
    </message>
    <message>
        <source>지우기</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>화면 이동 초기화</source>
        <translation>Reset Pan</translation>
    </message>
</context>
<context>
    <name>CPortWatcher</name>
    <message>
        <source> 추가</source>
        <translation> added</translation>
    </message>
    <message>
        <source> 제거</source>
        <translation> removed</translation>
    </message>
    <message>
        <source>Port 변경</source>
        <translation>Port Change</translation>
    </message>
</context>
<context>
    <name>CRecordController</name>
    <message>
        <source>로그 기록</source>
        <translation>Record Log</translation>
    </message>
    <message>
        <source>Every File(*.*);;Text File (*.txt *.doc)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>파일을 생성할 수 없습니다!</source>
        <translation>Cannot create the file!</translation>
    </message>
    <message>
        <source>로그 파일에 쓸 수 없어 기록을 멈췄습니다. 기록된 %1 bytes는 남아 있습니다.</source>
        <translation>Recording stopped because the log file could not be written. The %1 bytes already recorded are kept.</translation>
    </message>
</context>
<context>
    <name>CRecordDlg</name>
    <message>
        <source>Length : %1 bytes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>로그 기록</source>
        <translation>Record Log</translation>
    </message>
    <message>
        <source>로그 기록 중</source>
        <translation>Recording log</translation>
    </message>
    <message>
        <source>기록 중지</source>
        <translation>Stop Recording</translation>
    </message>
</context>
<context>
    <name>CRelayClient</name>
    <message>
        <source>다른 사용자 소유의 단말에 접속할 수 없습니다!!</source>
        <translation>Cannot connect to a device owned by another user!</translation>
    </message>
</context>
<context>
    <name>CReplayController</name>
    <message>
        <source>리플레이</source>
        <translation>Replay</translation>
    </message>
    <message>
        <source>Every File(*.*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>로그 파일을 열 수 없습니다!</source>
        <translation>Cannot open the log file!</translation>
    </message>
    <message>
        <source>추출</source>
        <translation>Extract</translation>
    </message>
    <message>
        <source>파일을 생성할 수 없습니다!</source>
        <translation>Cannot create the file!</translation>
    </message>
    <message>
        <source>로그 기록</source>
        <translation>Record Log</translation>
    </message>
</context>
<context>
    <name>CReplayDlg</name>
    <message>
        <source>리플레이</source>
        <translation>Replay</translation>
    </message>
    <message>
        <source>처음으로 이동</source>
        <translation>Go to Start</translation>
    </message>
    <message>
        <source>속도 느리게</source>
        <translation>Slower</translation>
    </message>
    <message>
        <source>플레이</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>중지</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>속도 빠르게</source>
        <translation>Faster</translation>
    </message>
    <message>
        <source>마지막으로 이동</source>
        <translation>Go to End</translation>
    </message>
    <message>
        <source>리플레이 나가기</source>
        <translation>Exit Replay</translation>
    </message>
    <message>
        <source>x1배속</source>
        <translation>1x Speed</translation>
    </message>
    <message>
        <source>x2배속</source>
        <translation>2x Speed</translation>
    </message>
    <message>
        <source>x4배속</source>
        <translation>4x Speed</translation>
    </message>
    <message>
        <source>x8배속</source>
        <translation>8x Speed</translation>
    </message>
    <message>
        <source>x20배속</source>
        <translation>20x Speed</translation>
    </message>
    <message>
        <source>x최대배속</source>
        <translation>Max Speed</translation>
    </message>
</context>
<context>
    <name>CRtcmMonitorWnd</name>
    <message>
        <source>RTCM 모니터</source>
        <translation>RTCM Monitor</translation>
    </message>
    <message>
        <source>메시지</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>개수</source>
        <translation>Count</translation>
    </message>
    <message>
        <source>마지막 수신</source>
        <translation>Last Received</translation>
    </message>
    <message>
        <source>경과(초)</source>
        <translation>Age (s)</translation>
    </message>
    <message>
        <source>수신 속도: %1 bit/s (최근 10초)</source>
        <translation>Rate: %1 bit/s (last 10 s)</translation>
    </message>
    <message>
        <source>CRC 오류: %1</source>
        <translation>CRC errors: %1</translation>
    </message>
    <message>
        <source>기준국 %1: %2, %3, %4 m</source>
        <translation>Reference station %1: %2, %3, %4 m</translation>
    </message>
    <message>
        <source>기준국: -</source>
        <translation>Reference station: -</translation>
    </message>
    <message>
        <source>기선 길이: %1 m</source>
        <translation>Baseline: %1 m</translation>
    </message>
    <message>
        <source>기선 길이: -</source>
        <translation>Baseline: -</translation>
    </message>
    <message>
        <source>RTCM %1, %2 bit/s, CRC 오류 %3</source>
        <translation>RTCM %1, %2 bit/s, CRC errors %3</translation>
    </message>
</context>
<context>
    <name>CSetupCommDlg</name>
    <message>
        <source>짝수</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>홀수</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>없음</source>
        <translation>None</translation>
    </message>
    <message>
        <source>표시</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>공백</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>하드웨어</source>
        <translation>Hardware</translation>
    </message>
    <message>
        <source>연결 속성</source>
        <translation>Connection Properties</translation>
    </message>
    <message>
        <source>통신설정</source>
        <translation>Communication Settings</translation>
    </message>
    <message>
        <source>시리얼</source>
        <translation>Serial</translation>
    </message>
    <message>
        <source>연결에 사용할 모뎀:</source>
        <translation>Connect using:</translation>
    </message>
    <message>
        <source>비트/초:</source>
        <translation>Bits per second:</translation>
    </message>
    <message>
        <source>데이터 비트:</source>
        <translation>Data bits:</translation>
    </message>
    <message>
        <source>패리티 비트:</source>
        <translation>Parity:</translation>
    </message>
    <message>
        <source>정지 비트:</source>
        <translation>Stop bits:</translation>
    </message>
    <message>
        <source>흐름 제어:</source>
        <translation>Flow control:</translation>
    </message>
    <message>
        <source>호스트 아이피를 입력해주세요.</source>
        <translation>Please enter the host IP.</translation>
    </message>
    <message>
        <source>My ID를 입력해주세요.</source>
        <translation>Please enter My ID.</translation>
    </message>
    <message>
        <source>접속할 Device ID를 입력해주세요.</source>
        <translation>Please enter the Device ID to connect to.</translation>
    </message>
    <message>
        <source>호스트 포트를 입력해주세요.</source>
        <translation>Please enter the host port.</translation>
    </message>
    <message>
        <source>포트를 선택하지 않았습니다.</source>
        <translation>No port selected.</translation>
    </message>
    <message>
        <source>보레이트를 선택하지 않았습니다.</source>
        <translation>No baud rate selected.</translation>
    </message>
    <message>
        <source>데이타비트를 선택하지 않았습니다.</source>
        <translation>No data bits selected.</translation>
    </message>
    <message>
        <source>패리티비트를 선택하지 않았습니다.</source>
        <translation>No parity selected.</translation>
    </message>
    <message>
        <source>스톱비트를 선택하지 않았습니다.</source>
        <translation>No stop bits selected.</translation>
    </message>
    <message>
        <source>흐름제어를 선택하지 않았습니다.</source>
        <translation>No flow control selected.</translation>
    </message>
</context>
<context>
    <name>CSetupController</name>
    <message>
        <source>위치출력</source>
        <translation>Position Output</translation>
    </message>
</context>
<context>
    <name>CSetupCoordDlg</name>
    <message>
        <source>도</source>
        <comment>degree mark</comment>
        <translation>°</translation>
    </message>
    <message>
        <source>분</source>
        <comment>minute mark</comment>
        <translation>&apos;</translation>
    </message>
    <message>
        <source>초</source>
        <comment>second mark</comment>
        <translation>&quot;</translation>
    </message>
    <message>
        <source>원점 기준</source>
        <translation>Origin</translation>
    </message>
    <message>
        <source>평균점</source>
        <translation>Average Point</translation>
    </message>
    <message>
        <source>기준점</source>
        <translation>Reference Point</translation>
    </message>
    <message>
        <source>현재점</source>
        <translation>Current Point</translation>
    </message>
    <message>
        <source>임의점 ==&gt;</source>
        <translation>Custom Point ==&gt;</translation>
    </message>
    <message>
        <source>좌표계</source>
        <translation>Coordinate System</translation>
    </message>
    <message>
        <source>동부원점</source>
        <translation>East Belt</translation>
    </message>
    <message>
        <source>중부원점</source>
        <translation>Central Belt</translation>
    </message>
    <message>
        <source>서부원점</source>
        <translation>West Belt</translation>
    </message>
    <message>
        <source>동해원점</source>
        <translation>East Sea Belt</translation>
    </message>
    <message>
        <source>오차 기준</source>
        <translation>Error Reference</translation>
    </message>
    <message>
        <source>임의점</source>
        <translation>Custom Point</translation>
    </message>
    <message>
        <source>플롯맵 점 크기:</source>
        <translation>Plot map point size:</translation>
    </message>
    <message>
        <source>픽셀</source>
        <translation>pixels</translation>
    </message>
    <message>
        <source>RMS/CEP 계산시 사용</source>
        <translation>Used for RMS/CEP calculation</translation>
    </message>
    <message>
        <source>임의점 좌표</source>
        <translation>Custom Point Coordinates</translation>
    </message>
    <message>
        <source>도</source>
        <translation>Degrees</translation>
    </message>
    <message>
        <source>도분</source>
        <translation>Deg-Min</translation>
    </message>
    <message>
        <source>도분초</source>
        <translation>Deg-Min-Sec</translation>
    </message>
    <message>
        <source>*도 입력(예: 127.1234567)</source>
        <translation>*Enter degrees (e.g. 127.1234567)</translation>
    </message>
    <message>
        <source>*도분 입력(예: 127 37.1234567)</source>
        <translation>*Enter degrees and minutes (e.g. 127 37.1234567)</translation>
    </message>
    <message>
        <source>*도분초 입력(예: 127 37 37.1234567)</source>
        <translation>*Enter degrees, minutes and seconds (e.g. 127 37 37.1234567)</translation>
    </message>
    <message>
        <source>경도</source>
        <translation>Longitude</translation>
    </message>
    <message>
        <source>위도</source>
        <translation>Latitude</translation>
    </message>
    <message>
        <source>임의점 좌표변환</source>
        <translation>Convert Custom Point</translation>
    </message>
    <message>
        <source>거리 계산</source>
        <translation>Distance Calculation</translation>
    </message>
    <message>
        <source>현재 평균점</source>
        <translation>Current Average Point</translation>
    </message>
    <message>
        <source>현재 최대오차점</source>
        <translation>Current Max Error Point</translation>
    </message>
    <message>
        <source>대상좌표
가져오기</source>
        <translation>Get Target
Coordinates</translation>
    </message>
    <message>
        <source>도분초에
 복사</source>
        <translation>Copy to
 DMS</translation>
    </message>
    <message>
        <source>계산</source>
        <translation>Calculate</translation>
    </message>
    <message>
        <source>대상 좌표 (예: 127.1234567)</source>
        <translation>Target Coordinates (e.g. 127.1234567)</translation>
    </message>
    <message>
        <source>계산된 거리 : (CM)</source>
        <translation>Calculated Distance: (cm)</translation>
    </message>
    <message>
        <source>거리계산 기준좌표는 원점기준에 따라 차이남.</source>
        <translation>The distance reference point depends on the Origin setting.</translation>
    </message>
    <message>
        <source>플롯에 표시된 위치가 없습니다!!</source>
        <translation>No positions are shown on the plot!</translation>
    </message>
    <message>
        <source>통합기준점이 설정되지 않았습니다!!</source>
        <translation>The unified control point is not set!</translation>
    </message>
    <message>
        <source>임의점 좌표가 설정되지 않았습니다!!</source>
        <translation>Custom point coordinates are not set!</translation>
    </message>
</context>
<context>
    <name>CSetupDlg</name>
    <message>
        <source>설정 / 거리계산</source>
        <translation>Settings / Distance Calculation</translation>
    </message>
    <message>
        <source>적용</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>닫기</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>CSetupNTripDlg</name>
    <message>
        <source>입출력포트 동일함</source>
        <translation>Same port for input and output</translation>
    </message>
    <message>
        <source>캐스터:</source>
        <translation>Caster:</translation>
    </message>
    <message>
        <source>포트:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>마운트포인트:</source>
        <translation>Mount point:</translation>
    </message>
    <message>
        <source>아이디:</source>
        <translation>User ID:</translation>
    </message>
    <message>
        <source>비밀번호:</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>Uncheck it if you want to forward data from server to TCP or COM port.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NTRIP 서버에 접속할 수 없습니다.<byte value="xd"/>
서버 주소 및 포트를 확인하세요!!!</source>
        <translation>Cannot connect to the NTRIP server.<byte value="xd"/>
Please check the server address and port!</translation>
    </message>
    <message>
        <source>NTRIP 연결</source>
        <translation>NTRIP Connection</translation>
    </message>
</context>
<context>
    <name>CSetupNmeaDlg</name>
    <message>
        <source>기본요금 (\)</source>
        <translation>Basic Fare (₩)</translation>
    </message>
    <message>
        <source>최저속도 (Km/h)</source>
        <translation>Minimum Speed (km/h)</translation>
    </message>
    <message>
        <source>기본거리 (M)</source>
        <translation>Basic Distance (m)</translation>
    </message>
    <message>
        <source>정산거리 (M/단위요금)</source>
        <translation>Distance per Fare Unit (m)</translation>
    </message>
    <message>
        <source>정산단위요금 (\)</source>
        <translation>Fare per Unit (₩)</translation>
    </message>
    <message>
        <source>표시 형태</source>
        <translation>Display Mode</translation>
    </message>
    <message>
        <source>적용하지 않음</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>표시제한속도 (Km/h)</source>
        <translation>Display Speed Limit (km/h)</translation>
    </message>
    <message>
        <source>택시 요금정보 표시</source>
        <translation>Show Taxi Fare Info</translation>
    </message>
    <message>
        <source>GPS BASE 관련정보 표시</source>
        <translation>Show GPS BASE Info</translation>
    </message>
</context>
<context>
    <name>CSetupReplayDlg</name>
    <message>
        <source>위치출력</source>
        <translation>Position Output</translation>
    </message>
    <message>
        <source>다중 프로토콜 입력인 경우 선택하세요.</source>
        <translation>Select this for multi-protocol input.</translation>
    </message>
</context>
<context>
    <name>CSetupServerDlg</name>
    <message>
        <source>서버 설정</source>
        <translation>Server Settings</translation>
    </message>
</context>
<context>
    <name>CSkyMapWnd</name>
    <message>
        <source>In Use</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>In View</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CSnrWnd</name>
    <message>
        <source>No Signal</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CSpeedGraphCtrl</name>
    <message>
        <source>속도</source>
        <translation>Speed</translation>
    </message>
</context>
<context>
    <name>CSpeedToolDlg</name>
    <message>
        <source>속도 그래프</source>
        <translation>Speed Graph</translation>
    </message>
</context>
<context>
    <name>CVerPosToolDlg</name>
    <message>
        <source>N-S 그래프</source>
        <translation>N-S Graph</translation>
    </message>
</context>
<context>
    <name>CoordSystem</name>
    <message>
        <source>Bessel|TM|구좌표|동부원점</source>
        <translation>Bessel|TM|Old Grid|East Belt</translation>
    </message>
    <message>
        <source>Bessel|TM|구좌표|중부원점</source>
        <translation>Bessel|TM|Old Grid|Central Belt</translation>
    </message>
    <message>
        <source>Bessel|TM|구좌표|서부원점</source>
        <translation>Bessel|TM|Old Grid|West Belt</translation>
    </message>
    <message>
        <source>Bessel|UTM|단일원점|UTM(K)</source>
        <translation>Bessel|UTM|Single Origin|UTM(K)</translation>
    </message>
    <message>
        <source>Bessel|TM|보정된구좌표|서부원점</source>
        <translation>Bessel|TM|Corrected Old Grid|West Belt</translation>
    </message>
    <message>
        <source>Bessel|TM|보정된구좌표|중부원점</source>
        <translation>Bessel|TM|Corrected Old Grid|Central Belt</translation>
    </message>
    <message>
        <source>Bessel|TM|보정된구좌표|제주원점</source>
        <translation>Bessel|TM|Corrected Old Grid|Jeju Belt</translation>
    </message>
    <message>
        <source>Bessel|TM|보정된구좌표|동부원점</source>
        <translation>Bessel|TM|Corrected Old Grid|East Belt</translation>
    </message>
    <message>
        <source>Bessel|TM|보정된구좌표|동해원점</source>
        <translation>Bessel|TM|Corrected Old Grid|East Sea Belt</translation>
    </message>
    <message>
        <source>Bessel|TM|네이버(KATECH)</source>
        <translation>Bessel|TM|Naver (KATECH)</translation>
    </message>
    <message>
        <source>WGS84|경위도</source>
        <translation>WGS84|Lat/Lon</translation>
    </message>
    <message>
        <source>WGS84|UTM51N</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>WGS84|UTM52N</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GRS80|TM|UTM-K(도로명지도)</source>
        <translation>GRS80|TM|UTM-K (Road-Name Map)</translation>
    </message>
    <message>
        <source>GRS80|TM|구좌표|서부원점</source>
        <translation>GRS80|TM|Old Grid|West Belt</translation>
    </message>
    <message>
        <source>GRS80|TM|구좌표|중부원점(다음지도)</source>
        <translation>GRS80|TM|Old Grid|Central Belt (Daum Map)</translation>
    </message>
    <message>
        <source>GRS80|TM|구좌표|동부원점</source>
        <translation>GRS80|TM|Old Grid|East Belt</translation>
    </message>
    <message>
        <source>GRS80|TM|구좌표|동해원점</source>
        <translation>GRS80|TM|Old Grid|East Sea Belt</translation>
    </message>
    <message>
        <source>GRS80|TM|신좌표|서부원점</source>
        <translation>GRS80|TM|New Grid|West Belt</translation>
    </message>
    <message>
        <source>GRS80|TM|신좌표|중부원점</source>
        <translation>GRS80|TM|New Grid|Central Belt</translation>
    </message>
    <message>
        <source>GRS80|TM|신좌표|동부원점</source>
        <translation>GRS80|TM|New Grid|East Belt</translation>
    </message>
    <message>
        <source>GRS80|TM|신좌표|동해원점</source>
        <translation>GRS80|TM|New Grid|East Sea Belt</translation>
    </message>
    <message>
        <source>GRS80|TM|네이버</source>
        <translation>GRS80|TM|Naver</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>%1 포트를 열 권한이 없습니다.
사용자를 dialout 그룹에 추가한 뒤 다시 로그인하십시오:
sudo usermod -aG dialout $USER</source>
        <translation>No permission to open port %1.
Add the user to the dialout group, then log in again:
sudo usermod -aG dialout $USER</translation>
    </message>
    <message>
        <source>%1 포트가 없습니다.</source>
        <translation>Port %1 does not exist.</translation>
    </message>
    <message>
        <source>%1 포트를 열 수 없습니다. (%2)</source>
        <translation>Cannot open port %1 (%2).</translation>
    </message>
</context>
<context>
    <name>ReferenceStation</name>
    <message>
        <source>U안양05 : 금천체육공원</source>
        <translation>U-Anyang05 : Geumcheon Sports Park</translation>
    </message>
    <message>
        <source>U0219 : 경인교대</source>
        <translation>U0219 : Gyeongin National University of Education</translation>
    </message>
    <message>
        <source>수원GA1 : 국토지리정보원</source>
        <translation>Suwon-GA1 : National Geographic Information Institute</translation>
    </message>
    <message>
        <source>U김해11 : 김해공항</source>
        <translation>U-Gimhae11 : Gimhae Airport</translation>
    </message>
    <message>
        <source>U안양13 : 병목안시민공원</source>
        <translation>U-Anyang13 : Byeongmogan Citizen Park</translation>
    </message>
    <message>
        <source>U안양08 : 광명소하고</source>
        <translation>U-Anyang08 : Gwangmyeong Soha High School</translation>
    </message>
    <message>
        <source>U안양12 : 목감칠리제저수지</source>
        <translation>U-Anyang12 : Mokgam Chilije Reservoir</translation>
    </message>
    <message>
        <source>U안양14 : 평촌중앙공원</source>
        <translation>U-Anyang14 : Pyeongchon Central Park</translation>
    </message>
</context>
<context>
    <name>ReplayScan</name>
    <message>
        <source>로그 파일을 열 수 없습니다!</source>
        <translation>Cannot open the log file!</translation>
    </message>
    <message>
        <source>%s<byte value="xd"/>
는 인지할 수 있는 GPS data가 아닐 수 있습니다.
NMEA/ UBX/ GSOF/ SBF 만 인식 가능합니다.</source>
        <translation>%s<byte value="xd"/>
may not contain recognizable GPS data.
Only NMEA/ UBX/ GSOF/ SBF can be recognized.</translation>
    </message>
    <message>
        <source>%s<byte value="xd"/>
에 위치정보 또는 시각 정보가 없습니다.
필요한 경우, 설정-위치출력에서 SYNC Protocol을 변경하세요!</source>
        <translation>%s<byte value="xd"/>
contains no position or time information.
If needed, change the SYNC Protocol under Settings &gt; Position Output!</translation>
    </message>
    <message>
        <source>설정-PlotView에서 기준점 좌표가 설정되지 않았습니다.!</source>
        <translation>No reference point coordinates are set in Settings &gt; PlotView!</translation>
    </message>
</context>
</TS>
